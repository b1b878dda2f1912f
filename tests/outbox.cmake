# What waits for the server: its queue, and sends that wait through an outage and a restart.
add_larkspire_test(unit test_outbox_queue LIBS larkspire_core)
