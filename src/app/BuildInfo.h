#pragma once

#include <QString>

// What this executable was built as. Compiled into each program executable on its own, so that
// programs of different builds and release keys share every library.
namespace buildinfo {

// The fourth number of the version; the self-update compares it with the server's.
int buildNumber();
// The release key (hexadecimal) that updates must be signed with; empty: never update.
QString updatePublicKeyHex();

} // namespace buildinfo
