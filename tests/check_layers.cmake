cmake_policy(SET CMP0057 NEW)
# The windows only show: every server step is a request of the client session. Fails when a
# window file reaches for the FTP client, the server session or a server sequence itself.
file(GLOB_RECURSE window_files "${SOURCE_DIR}/src/windows/*.cpp" "${SOURCE_DIR}/src/windows/*.h")
set(allowed_net_headers "net/XNetDetect.h" "net/ServerAddress.h" "net/SelfUpdate.h")
set(forbidden "ServerSession" "FtpClient" "IdFTP1"
    # As calls: the session's signal mainConnectionOpened is the windows' to use.
    "mainConnection()" "settingsConnection()"
    "selfupdate::check" "messaging::send" "messaging::quickSend" "poll::run"
    "accounts::signInOrRegister" "directory::fetch" "localcopy::" "received::fetch"
    "ConversationWrite" "ServerLock" "serverfile::" "correspondent::open"
    "correspondent::fetchAvatar" "ownavatar::")
set(faults "")
foreach(path IN LISTS window_files)
    file(READ "${path}" text)
    string(REGEX MATCHALL "#include \"net/[A-Za-z]+\\.h\"" includes "${text}")
    foreach(include IN LISTS includes)
        string(REGEX REPLACE "#include \"(.*)\"" "\\1" header "${include}")
        if(NOT header IN_LIST allowed_net_headers)
            string(APPEND faults "${path}: includes ${header}\n")
        endif()
    endforeach()
    foreach(word IN LISTS forbidden)
        string(FIND "${text}" "${word}" at)
        if(NOT at EQUAL -1)
            string(APPEND faults "${path}: uses ${word}\n")
        endif()
    endforeach()
endforeach()
if(faults)
    message(FATAL_ERROR "Server work in the windows:\n${faults}")
endif()

# The application context has a target of its own below the windows: it makes them through the
# factory it is given and includes none of their headers.
foreach(path "${SOURCE_DIR}/src/app/AppContext.h" "${SOURCE_DIR}/src/app/AppContext.cpp"
        "${SOURCE_DIR}/src/app/WindowSet.h")
    file(READ "${path}" text)
    if(text MATCHES "#include \"windows/")
        string(APPEND faults "${path}: includes a window header\n")
    endif()
endforeach()
if(faults)
    message(FATAL_ERROR "The application context reaches into the windows:\n${faults}")
endif()
