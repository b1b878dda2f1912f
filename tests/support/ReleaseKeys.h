#pragma once

#include "update/Signature.h"

// A release key pair for tests only; the updater built for the tests trusts its public half.
namespace testkeys {

inline const QString kPublicHex =
    QStringLiteral("f23f9dbaf63bd24d34268b754353d482b436262c3161b452c60a1218bc0ad0b4");
inline const QString kSecretHex =
    QStringLiteral("c9c120c3874b9cc9893604005f12a157a028e033628e55dd9b1e10b8be742806"
                   "f23f9dbaf63bd24d34268b754353d482b436262c3161b452c60a1218bc0ad0b4");

inline QByteArray publicKey()
{
    return signing::keyFromHex(kPublicHex, signing::kPublicKeyBytes);
}
inline QByteArray secretKey()
{
    return signing::keyFromHex(kSecretHex, signing::kSecretKeyBytes);
}

} // namespace testkeys
