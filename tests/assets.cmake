# The data folder beside the executable: pictures, icon, fonts, templates, chime.
add_larkspire_test(unit test_assets LIBS Qt6::Gui)
add_dependencies(test_assets larkspire_assets)
