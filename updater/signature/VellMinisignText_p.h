#ifndef VELLMINISIGNTEXT_P_H
#define VELLMINISIGNTEXT_P_H

#include <QByteArray>
#include <QList>

/**
 * The line structure shared by minisign's key and signature files: lines end
 * in "\n" (a "\r" before it is dropped), comment lines carry a fixed prefix,
 * binary lines are strict base64. Not installed.
 */
namespace VellMinisignText {

/** The prefix of the first line of every minisign file. */
extern const char UntrustedCommentPrefix[];
/** The prefix of the signed comment line of a signature file. */
extern const char TrustedCommentPrefix[];

/** The lines of text, without their line ends. */
QList<QByteArray> lines(const QByteArray &text);

/**
 * Decodes line as base64 into exactly size bytes; false when it is not
 * base64 or decodes to another length.
 */
bool decodeBase64(const QByteArray &line, int size, QByteArray &decoded);

/** The key ID as minisign prints it: 16 upper-case hex digits, little-endian. */
QByteArray keyIdText(const QByteArray &keyId);

} // namespace VellMinisignText

#endif // VELLMINISIGNTEXT_P_H
