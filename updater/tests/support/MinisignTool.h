#ifndef MINISIGNTOOL_H
#define MINISIGNTOOL_H

#include <QByteArray>
#include <QString>

/**
 * A password-less key pair made by the real minisign program, and signatures
 * made with it, for tests that need genuine signatures.
 */
class MinisignTool
{
public:
    enum class Format { Prehashed, Legacy };

    /** Makes a key pair as folder/<baseName>.pub and .sec; false on failure. */
    bool generate(const QString &folder, const QString &baseName = QStringLiteral("minisign"));

    const QString &publicKeyPath() const { return publicKey; }
    const QString &secretKeyPath() const { return secretKey; }

    /**
     * Signs file into file + ".minisig" (or signaturePath) with the trusted
     * comment; false on failure, with minisign's output in lastError.
     */
    bool sign(const QString &file, const QByteArray &trustedComment,
        Format format = Format::Prehashed, const QString &signaturePath = QString());

    QString lastError;

private:
    bool run(const QStringList &arguments);

    QString publicKey;
    QString secretKey;
};

#endif // MINISIGNTOOL_H
