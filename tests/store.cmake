add_larkspire_test(unit test_store_layout LIBS larkspire_net)
add_larkspire_test(integration test_xnetdetect LIBS larkspire_net Qt6::Network)
