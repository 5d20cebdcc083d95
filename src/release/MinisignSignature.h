#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// A detached signature in minisign's format (a .minisig file), checked against minisign public
// keys. The Ed25519 and BLAKE2b work is libsodium's.
//
// .minisig: "untrusted comment: …", base64 of algorithm ("Ed": the file itself is signed; "ED": its
// BLAKE2b-512 hash is) + 8-byte key id + 64-byte signature, "trusted comment: …", base64 of the
// global signature over the signature and the trusted comment.
class MinisignSignature final {
public:
    struct PublicKey {
        QByteArray keyId; // 8 bytes
        QByteArray key;   // 32 bytes
    };

    enum class Outcome { Valid, Malformed, UnknownKey, SignatureInvalid, TrustedCommentInvalid };
    struct Result {
        Outcome outcome = Outcome::Malformed;
        QString detail;         // Malformed: what is wrong; UnknownKey: the signature's key id
        QString trustedComment; // Valid: the publisher's signed comment
        bool valid() const { return outcome == Outcome::Valid; }
    };

    // The public key line ("RW…" base64) or the two lines of a .pub file.
    static std::optional<PublicKey> parsePublicKey(const QString& text, QString& error);
    // A key id as minisign prints it (hex, as in the public key file's comment).
    static QString keyIdText(const QByteArray& keyId);

    static std::optional<MinisignSignature> parse(const QByteArray& file, QString& error);
    // `message` signed with one of `publicKeys` (texts as parsePublicKey reads them)?
    static Result verify(const QByteArray& message, const QByteArray& signatureFile, const QStringList& publicKeys);

    // More than this is not a signature file.
    static constexpr qint64 MaxBytes = 8192;

private:
    bool m_prehashed = false;
    QByteArray m_keyId;
    QByteArray m_signature;
    QByteArray m_trustedComment;
    QByteArray m_globalSignature;
};
