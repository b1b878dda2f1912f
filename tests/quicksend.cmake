# The quick-send window: its server step against a real server, the window offscreen, and two
# clients starting a conversation through it on the demo server.
add_larkspire_test(integration test_quicksend_net LIBS larkspire_net larkspire_ftpserver)
add_larkspire_test(gui test_quicksend LIBS larkspire_windows Qt6::Network TIMEOUT 300)
