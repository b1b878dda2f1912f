# Installation, launchers and the signed self-update with its updater and operators' tool.
set(LARKSPIRE_TEST_RELEASE_KEY f23f9dbaf63bd24d34268b754353d482b436262c3161b452c60a1218bc0ad0b4)

# The updater as a release signed with the tests' key would carry it.
add_executable(test_updater_program ${CMAKE_SOURCE_DIR}/src/updater/main.cpp)
target_link_libraries(test_updater_program PRIVATE larkspire_update)
target_compile_definitions(test_updater_program PRIVATE
    LARKSPIRE_UPDATE_PUBLIC_KEY="${LARKSPIRE_TEST_RELEASE_KEY}")
set_target_properties(test_updater_program PROPERTIES
    OUTPUT_NAME LarkspireUpdate
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/testkey)

add_larkspire_test(unit test_install LIBS larkspire_platform)
add_larkspire_test(unit test_update_files LIBS larkspire_update)
add_larkspire_test(integration test_self_update
    LIBS larkspire_net larkspire_update larkspire_ftpserver TIMEOUT 300)
add_dependencies(test_self_update test_updater_program larkspire-admin)
target_compile_definitions(test_self_update PRIVATE
    LARKSPIRE_TEST_UPDATER="$<TARGET_FILE:test_updater_program>"
    LARKSPIRE_ADMIN="$<TARGET_FILE:larkspire-admin>")
add_larkspire_test(gui test_install_update LIBS larkspire_windows larkspire_update Qt6::Network
    TIMEOUT 300)

# Two builds of the real program that trust the tests' key, for the update from one to the next.
set(LARKSPIRE_TEST_BUILD_N 41)
math(EXPR LARKSPIRE_TEST_BUILD_N1 "${LARKSPIRE_TEST_BUILD_N} + 1")
larkspire_add_program(larkspire_build_N
    BUILD ${LARKSPIRE_TEST_BUILD_N} KEY ${LARKSPIRE_TEST_RELEASE_KEY}
    OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/build_N)
larkspire_add_program(larkspire_build_N1
    BUILD ${LARKSPIRE_TEST_BUILD_N1} KEY ${LARKSPIRE_TEST_RELEASE_KEY}
    OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/build_N1)
add_larkspire_test(integration test_program_update
    LIBS larkspire_update larkspire_ftpserver Qt6::Network TIMEOUT 900)
add_dependencies(test_program_update
    larkspire_build_N larkspire_build_N1 test_updater_program larkspire-admin larkspire_assets)
target_compile_definitions(test_program_update PRIVATE
    LARKSPIRE_TEST_BUILD_N=${LARKSPIRE_TEST_BUILD_N}
    LARKSPIRE_TEST_BUILD_N1=${LARKSPIRE_TEST_BUILD_N1}
    LARKSPIRE_PROGRAM_N="$<TARGET_FILE:larkspire_build_N>"
    LARKSPIRE_PROGRAM_N1="$<TARGET_FILE:larkspire_build_N1>"
    LARKSPIRE_TEST_UPDATER="$<TARGET_FILE:test_updater_program>"
    LARKSPIRE_ADMIN="$<TARGET_FILE:larkspire-admin>")
# A running update ends every Larkspire of the user, and an updater waits for all of them: the
# tests that run either never overlap.
set_tests_properties(integration.test_self_update integration.test_program_update
    PROPERTIES RESOURCE_LOCK larkspire_programs)
