# The shared window fade, the avatar viewer and its picture arithmetic.
add_larkspire_test(unit test_picture_fit LIBS larkspire_core)
add_larkspire_test(gui test_window_fades LIBS larkspire_windows)
add_larkspire_test(gui test_avatar_viewer LIBS larkspire_windows Qt6::Network TIMEOUT 300)
# The viewer's place is checked on a screen of a common size.
set_property(TEST gui.test_avatar_viewer APPEND PROPERTY ENVIRONMENT
    "QT_QPA_PLATFORM=offscreen:configfile=${CMAKE_CURRENT_SOURCE_DIR}/support/screen-1920x1080.json")
