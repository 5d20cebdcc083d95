#include "platform/hash/Sha256Stream.h"

// clang-format off
#include <windows.h>
#include <bcrypt.h>
// clang-format on

#include <algorithm>

// The system's own (CNG), which uses the processor's SHA instructions.
struct Sha256Stream::Engine {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;

    Engine()
    {
        BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0);
        start();
    }
    ~Engine()
    {
        if (hash)
            BCryptDestroyHash(hash);
        if (algorithm)
            BCryptCloseAlgorithmProvider(algorithm, 0);
    }
    void start()
    {
        hash = nullptr;
        if (algorithm)
            BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0);
    }
};

Sha256Stream::Sha256Stream()
    : m_engine(std::make_unique<Engine>())
{}

Sha256Stream::~Sha256Stream() = default;

void Sha256Stream::addData(QByteArrayView bytes)
{
    const char* p = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0 && m_engine->hash) {
        const ULONG n = static_cast<ULONG>(std::min<qsizetype>(left, 1 << 30));
        BCryptHashData(m_engine->hash, reinterpret_cast<PUCHAR>(const_cast<char*>(p)), n, 0);
        p += n;
        left -= n;
    }
}

void Sha256Stream::reset()
{
    if (m_engine->hash)
        BCryptDestroyHash(m_engine->hash);
    m_engine->start();
}

QByteArray Sha256Stream::result()
{
    QByteArray digest(32, '\0');
    if (m_engine->hash) {
        BCryptFinishHash(m_engine->hash, reinterpret_cast<PUCHAR>(digest.data()), 32, 0);
        BCryptDestroyHash(m_engine->hash);
    }
    m_engine->start();
    return digest;
}
