# The shared window fade, the avatar viewer and its picture arithmetic.
add_larkspire_test(unit test_picture_fit LIBS larkspire_core)
add_larkspire_test(gui test_window_fades LIBS larkspire_windows)
