add_larkspire_test(unit test_store_layout LIBS larkspire_net)
add_larkspire_test(integration test_xnetdetect LIBS larkspire_net Qt6::Network)
add_larkspire_test(integration test_server_session LIBS larkspire_net larkspire_ftpserver Qt6::Network)
