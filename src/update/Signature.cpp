#include "update/Signature.h"

#include <sodium.h>

#include <cctype>

namespace signing {

namespace {

bool ready()
{
    // Safe to call again and from any thread; negative only when the library cannot work.
    return sodium_init() >= 0;
}

const unsigned char* bytes(const QByteArray& b)
{
    return reinterpret_cast<const unsigned char*>(b.constData());
}

} // namespace

static_assert(crypto_sign_PUBLICKEYBYTES == kPublicKeyBytes);
static_assert(crypto_sign_SECRETKEYBYTES == kSecretKeyBytes);
static_assert(crypto_sign_BYTES == kSignatureBytes);

KeyPair generate()
{
    KeyPair pair{QByteArray(kPublicKeyBytes, '\0'), QByteArray(kSecretKeyBytes, '\0')};
    if (!ready())
        return {};
    crypto_sign_keypair(reinterpret_cast<unsigned char*>(pair.publicKey.data()),
                        reinterpret_cast<unsigned char*>(pair.secretKey.data()));
    return pair;
}

QByteArray sign(const QByteArray& message, const QByteArray& secretKey)
{
    if (secretKey.size() != kSecretKeyBytes || !ready())
        return {};
    QByteArray signature(kSignatureBytes, '\0');
    crypto_sign_detached(reinterpret_cast<unsigned char*>(signature.data()), nullptr,
                         bytes(message), static_cast<unsigned long long>(message.size()),
                         bytes(secretKey));
    return signature;
}

bool verify(const QByteArray& message, const QByteArray& signature, const QByteArray& publicKey)
{
    if (publicKey.size() != kPublicKeyBytes || signature.size() != kSignatureBytes || !ready())
        return false;
    return crypto_sign_verify_detached(bytes(signature), bytes(message),
                                       static_cast<unsigned long long>(message.size()),
                                       bytes(publicKey)) == 0;
}

QByteArray keyFromHex(const QString& text, int size)
{
    const QByteArray hex = text.trimmed().toLatin1();
    if (hex.size() != size * 2)
        return {};
    for (const char c : hex) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return {};
    }
    return QByteArray::fromHex(hex);
}

} // namespace signing
