# The main window's frame and the mini bar (whose tray click is tried on the demo server).
add_larkspire_test(unit test_minibar_placement LIBS larkspire_core)
add_larkspire_test(unit test_frame_keys LIBS larkspire_core)
add_larkspire_test(gui test_minibar LIBS larkspire_windows Qt6::Network TIMEOUT 300)
add_larkspire_test(gui test_frame LIBS larkspire_windows)
# Do not disturb and the unread count: the core rules, and both on a running client.
add_larkspire_test(unit test_quiet_unread LIBS larkspire_core)
add_larkspire_test(gui test_quiet_unread_client LIBS larkspire_windows Qt6::Network TIMEOUT 300)
# The connection's state in the same hints.
add_larkspire_test(gui test_connection_hint LIBS larkspire_windows Qt6::Network TIMEOUT 300)
