#include "app/BuildInfo.h"

int buildinfo::buildNumber()
{
    return LARKSPIRE_PROGRAM_BUILD;
}

QString buildinfo::updatePublicKeyHex()
{
    return QStringLiteral(LARKSPIRE_PROGRAM_KEY);
}
