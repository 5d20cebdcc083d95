#include "MinisignSignature.h"

#include <sodium.h>

namespace {

constexpr qsizetype KeyIdBytes = 8;
const QByteArray UntrustedPrefix = QByteArrayLiteral("untrusted comment: ");
const QByteArray TrustedPrefix = QByteArrayLiteral("trusted comment: ");

std::optional<QByteArray> base64(const QByteArray& text, qsizetype bytes)
{
    const auto decoded = QByteArray::fromBase64Encoding(text, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != bytes)
        return std::nullopt;
    return decoded.decoded;
}

// Lines without their CR LF or LF; minisign itself accepts both.
QList<QByteArray> lines(const QByteArray& text)
{
    QList<QByteArray> out = text.split('\n');
    if (!out.isEmpty() && out.last().isEmpty())
        out.removeLast();
    for (QByteArray& line : out)
        if (line.endsWith('\r'))
            line.chop(1);
    return out;
}

bool edVerify(const QByteArray& signature, const QByteArray& message, const QByteArray& key)
{
    return crypto_sign_verify_detached(reinterpret_cast<const unsigned char*>(signature.constData()),
                                       reinterpret_cast<const unsigned char*>(message.constData()),
                                       static_cast<unsigned long long>(message.size()),
                                       reinterpret_cast<const unsigned char*>(key.constData())) == 0;
}

} // namespace

std::optional<MinisignSignature::PublicKey> MinisignSignature::parsePublicKey(const QString& text, QString& error)
{
    QList<QByteArray> keyLines = lines(text.trimmed().toUtf8());
    if (keyLines.size() == 2 && keyLines.first().startsWith(UntrustedPrefix))
        keyLines.removeFirst();
    const std::optional<QByteArray> raw =
        keyLines.size() == 1 ? base64(keyLines.first().trimmed(), 2 + KeyIdBytes + crypto_sign_PUBLICKEYBYTES)
                             : std::nullopt;
    if (!raw || !raw->startsWith("Ed")) {
        error = QStringLiteral("une clé publique minisign (RW… en base 64) est attendue");
        return std::nullopt;
    }
    return PublicKey{raw->mid(2, KeyIdBytes), raw->mid(2 + KeyIdBytes)};
}

QString MinisignSignature::keyIdText(const QByteArray& keyId)
{
    // As minisign prints it: the little-endian number in upper-case hex, without leading zeros.
    quint64 number = 0;
    for (qsizetype i = keyId.size() - 1; i >= 0; --i)
        number = (number << 8) | static_cast<quint8>(keyId.at(i));
    return QString::number(number, 16).toUpper();
}

std::optional<MinisignSignature> MinisignSignature::parse(const QByteArray& file, QString& error)
{
    if (file.size() > MaxBytes) {
        error = QStringLiteral("plus de %1 octets").arg(MaxBytes);
        return std::nullopt;
    }
    const QList<QByteArray> l = lines(file);
    if (l.size() != 4 || !l.at(0).startsWith(UntrustedPrefix) || !l.at(2).startsWith(TrustedPrefix)) {
        error = QStringLiteral("quatre lignes attendues (commentaire, signature, commentaire de confiance, signature "
                               "globale)");
        return std::nullopt;
    }
    const std::optional<QByteArray> sig = base64(l.at(1), 2 + KeyIdBytes + crypto_sign_BYTES);
    const std::optional<QByteArray> global = base64(l.at(3), crypto_sign_BYTES);
    if (!sig || !global) {
        error = QStringLiteral("signature illisible (base 64 ou longueur)");
        return std::nullopt;
    }
    MinisignSignature s;
    if (sig->startsWith("ED")) {
        s.m_prehashed = true;
    } else if (!sig->startsWith("Ed")) {
        error = QStringLiteral("algorithme de signature inconnu");
        return std::nullopt;
    }
    s.m_keyId = sig->mid(2, KeyIdBytes);
    s.m_signature = sig->mid(2 + KeyIdBytes);
    s.m_trustedComment = l.at(2).mid(TrustedPrefix.size());
    s.m_globalSignature = *global;
    return s;
}

MinisignSignature::Result MinisignSignature::verify(const QByteArray& message, const QByteArray& signatureFile,
                                                    const QStringList& publicKeys)
{
    static const bool sodiumReady = sodium_init() >= 0;
    Result r;
    if (!sodiumReady) {
        r.detail = QStringLiteral("libsodium ne peut pas être initialisée");
        return r;
    }
    const std::optional<MinisignSignature> s = parse(signatureFile, r.detail);
    if (!s)
        return r;
    std::optional<PublicKey> key;
    for (const QString& text : publicKeys) {
        QString error;
        const std::optional<PublicKey> candidate = parsePublicKey(text, error);
        if (!candidate) {
            r.detail = error;
            return r;
        }
        if (candidate->keyId == s->m_keyId && !key)
            key = candidate;
    }
    if (!key) {
        r.outcome = Outcome::UnknownKey;
        r.detail = keyIdText(s->m_keyId);
        return r;
    }
    QByteArray signedBytes = message;
    if (s->m_prehashed) {
        signedBytes = QByteArray(crypto_generichash_BYTES_MAX, Qt::Uninitialized);
        crypto_generichash(reinterpret_cast<unsigned char*>(signedBytes.data()), crypto_generichash_BYTES_MAX,
                           reinterpret_cast<const unsigned char*>(message.constData()),
                           static_cast<unsigned long long>(message.size()), nullptr, 0);
    }
    if (!edVerify(s->m_signature, signedBytes, key->key)) {
        r.outcome = Outcome::SignatureInvalid;
        return r;
    }
    if (!edVerify(s->m_globalSignature, s->m_signature + s->m_trustedComment, key->key)) {
        r.outcome = Outcome::TrustedCommentInvalid;
        return r;
    }
    r.outcome = Outcome::Valid;
    r.trustedComment = QString::fromUtf8(s->m_trustedComment);
    return r;
}
