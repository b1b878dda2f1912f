# What waits for the server: its queue, and sends that wait through an outage and a restart.
add_larkspire_test(unit test_outbox_queue LIBS larkspire_core)
add_larkspire_test(gui test_outbox LIBS larkspire_windows Qt6::Network TIMEOUT 300)
