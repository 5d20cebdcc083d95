#include "platform/hash/Sha256Stream.h"

#include <openssl/evp.h>

// OpenSSL's, which uses the processor's SHA instructions (several times libsodium's portable code).
struct Sha256Stream::Engine {
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    ~Engine() { EVP_MD_CTX_free(context); }
};

Sha256Stream::Sha256Stream()
    : m_engine(std::make_unique<Engine>())
{
    EVP_DigestInit_ex(m_engine->context, EVP_sha256(), nullptr);
}

Sha256Stream::~Sha256Stream() = default;

void Sha256Stream::addData(QByteArrayView bytes)
{
    EVP_DigestUpdate(m_engine->context, bytes.data(), static_cast<size_t>(bytes.size()));
}

void Sha256Stream::reset()
{
    EVP_DigestInit_ex(m_engine->context, EVP_sha256(), nullptr);
}

QByteArray Sha256Stream::result()
{
    QByteArray digest(32, Qt::Uninitialized);
    unsigned int length = 0;
    EVP_DigestFinal_ex(m_engine->context, reinterpret_cast<unsigned char*>(digest.data()), &length);
    EVP_DigestInit_ex(m_engine->context, EVP_sha256(), nullptr);
    return digest;
}
