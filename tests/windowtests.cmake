# The main window's sign-in, contacts and dropped files against the demo server.
add_larkspire_test(gui test_signin LIBS larkspire_windows Qt6::Network TIMEOUT 300)
add_larkspire_test(gui test_contacts LIBS larkspire_windows Qt6::Network TIMEOUT 300)
# Kept drafts, finding in the conversation and finding a user, against the demo server.
add_larkspire_test(gui test_comforts LIBS larkspire_windows Qt6::Network TIMEOUT 300)
add_larkspire_test(gui test_window_files LIBS larkspire_windows Qt6::Network TIMEOUT 300)
# Every part of the main window speaks of one person after ordinary events, against the demo server.
add_larkspire_test(gui test_view_consistency LIBS larkspire_windows Qt6::Network TIMEOUT 300)
