#pragma once

#include <QByteArray>
#include <QString>

// Ed25519 detached signatures (libsodium) for the files of an update: only a file signed with
// the operators' secret key is ever run.
namespace signing {

inline constexpr int kPublicKeyBytes = 32;
inline constexpr int kSecretKeyBytes = 64;
inline constexpr int kSignatureBytes = 64;

struct KeyPair
{
    QByteArray publicKey;
    QByteArray secretKey;
};

KeyPair generate();
// Empty when the key has the wrong size.
QByteArray sign(const QByteArray& message, const QByteArray& secretKey);
// False for a key or signature of the wrong size, too.
bool verify(const QByteArray& message, const QByteArray& signature, const QByteArray& publicKey);

// Keys travel as one line of hexadecimal text; empty when the text is not a key of that size.
QByteArray keyFromHex(const QString& text, int bytes);

} // namespace signing
