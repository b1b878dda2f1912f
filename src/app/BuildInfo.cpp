#include "app/BuildInfo.h"

#define LARKSPIRE_TEXT_OF(x) #x
#define LARKSPIRE_TEXT(x) LARKSPIRE_TEXT_OF(x)

namespace {

// Read from the file by the operators' tool (payload::programBuild), which refuses to offer a
// program under another build number: its clients would update again and again.
[[gnu::used]] const char kBuildMark[] =
    "larkspire-build:" LARKSPIRE_TEXT(LARKSPIRE_PROGRAM_BUILD) ";";

} // namespace

int buildinfo::buildNumber()
{
    return LARKSPIRE_PROGRAM_BUILD;
}

QString buildinfo::updatePublicKeyHex()
{
    return QStringLiteral(LARKSPIRE_PROGRAM_KEY);
}
