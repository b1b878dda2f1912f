# The drop zone, the user picker and drops on the mini bar, with two clients on the demo server.
add_larkspire_test(gui test_drops LIBS larkspire_windows Qt6::Network TIMEOUT 300)
