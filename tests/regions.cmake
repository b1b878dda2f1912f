add_larkspire_test(unit test_regions LIBS larkspire_core)
