# The FTP client's tests: every operation against four real servers (pyftpdlib, vsftpd, pure-ftpd,
# proftpd) and a scripted server for the behaviours no real server shows on demand.
# tools/ftpservers/fetch.sh unpacks the three system servers into LARKSPIRE_FTPSERVERS_DIR; a test
# whose server is missing skips with the reason.
set(LARKSPIRE_FTPSERVERS_DIR ${CMAKE_BINARY_DIR}/ftpservers CACHE PATH
    "Folder that tools/ftpservers/fetch.sh fills with vsftpd, pure-ftpd and proftpd")

find_package(Threads REQUIRED)

# The server fixtures, reusable by any test that needs a real FTP server.
add_library(larkspire_ftpserver STATIC
    support/FtpServerFixture.cpp
    support/FtpServerScripted.cpp
    support/FaultyFtpServer.cpp
)
target_link_libraries(larkspire_ftpserver PUBLIC larkspire_options larkspire_net Qt6::Core Threads::Threads)
target_include_directories(larkspire_ftpserver PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_definitions(larkspire_ftpserver PRIVATE
    LARKSPIRE_FTPSERVERS_DIR="${LARKSPIRE_FTPSERVERS_DIR}"
    LARKSPIRE_FTP_PYFTPDLIB_SCRIPT="${CMAKE_CURRENT_SOURCE_DIR}/support/FtpServerPyftpdlib.py"
    LARKSPIRE_FTP_FAULTY_SCRIPT="${CMAKE_CURRENT_SOURCE_DIR}/support/FaultyFtpServer.py")

add_larkspire_test(integration test_ftp_client LIBS larkspire_net larkspire_ftpserver TIMEOUT 600)
add_larkspire_test(integration test_ftp_scripted LIBS larkspire_net larkspire_ftpserver TIMEOUT 120)
add_larkspire_test(integration test_ftp_tls LIBS larkspire_net larkspire_ftpserver TIMEOUT 300)
add_dependencies(test_ftp_tls larkspire-admin)
target_compile_definitions(test_ftp_tls PRIVATE LARKSPIRE_ADMIN="$<TARGET_FILE:larkspire-admin>")
add_larkspire_test(integration test_ftp_settings LIBS larkspire_net TIMEOUT 60)
add_larkspire_test(unit test_ftp_listing LIBS larkspire_net)
add_larkspire_test(integration test_server_files LIBS larkspire_net larkspire_ftpserver TIMEOUT 600)
add_larkspire_test(integration test_conversation_write LIBS larkspire_net larkspire_ftpserver)
add_larkspire_test(integration test_faulty_server LIBS larkspire_net larkspire_ftpserver)
add_larkspire_test(integration test_write_faults LIBS larkspire_net larkspire_ftpserver TIMEOUT 600)
add_larkspire_test(integration test_files_in_transit LIBS larkspire_net larkspire_ftpserver TIMEOUT 300)
