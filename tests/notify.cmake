# The desktop's notifications: their wording, the choice between them and the popup, and a real
# notification server on a session bus of the test's own.
add_larkspire_test(unit test_news_notices LIBS larkspire_core)
add_larkspire_test(gui test_news_delivery LIBS larkspire_windows)
add_larkspire_test(gui test_desktop_notifications LIBS larkspire_windows Qt6::Network Qt6::DBus TIMEOUT 300)
