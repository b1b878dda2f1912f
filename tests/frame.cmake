# The main window's frame and the mini bar.
add_larkspire_test(unit test_minibar_placement LIBS larkspire_core)
add_larkspire_test(gui test_minibar LIBS larkspire_windows)
add_larkspire_test(gui test_frame LIBS larkspire_windows)
