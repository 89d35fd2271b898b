#include "VellTrustedComment.h"

#include "Component.h"

#include <string>

namespace {

const QByteArray Unreserved("-._~");

bool isUnreserved(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')
        || Unreserved.contains(c);
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

QByteArray bytesOf(const std::string &text)
{
    return QByteArray(text.data(), int(text.size()));
}

} // namespace

VellTrustedComment::VellTrustedComment(const QByteArray &text)
    : words(text.split(' '))
{ }

QByteArray VellTrustedComment::forComponent(const QByteArray &project, const QByteArray &name,
    const QByteArray &type, const QByteArray &version)
{
    return "vell-package project=" + percentEncode(project) + " name=" + percentEncode(name)
        + " type=" + percentEncode(type) + " version=" + percentEncode(version);
}

QByteArray VellTrustedComment::percentEncode(const QByteArray &bytes)
{
    static const char Hex[] = "0123456789ABCDEF";
    QByteArray encoded;
    encoded.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        if (isUnreserved(c)) {
            encoded += c;
        } else {
            const auto byte = static_cast<unsigned char>(c);
            encoded += '%';
            encoded += Hex[byte >> 4];
            encoded += Hex[byte & 0xF];
        }
    }
    return encoded;
}

bool VellTrustedComment::percentDecode(const QByteArray &encoded, QByteArray &decoded)
{
    QByteArray result;
    result.reserve(encoded.size());
    for (int i = 0; i < encoded.size(); ++i) {
        if (encoded.at(i) != '%') {
            result += encoded.at(i);
            continue;
        }
        const int high = i + 1 < encoded.size() ? hexValue(encoded.at(i + 1)) : -1;
        const int low = i + 2 < encoded.size() ? hexValue(encoded.at(i + 2)) : -1;
        if (high < 0 || low < 0) {
            return false;
        }
        result += char(high * 16 + low);
        i += 2;
    }
    decoded = result;
    return true;
}

bool VellTrustedComment::value(const QByteArray &key, QByteArray &decoded) const
{
    const QByteArray prefix = key + '=';
    const QByteArray *found = nullptr;
    for (const QByteArray &word : words) {
        if (word.startsWith(prefix)) {
            if (found) {
                return false;
            }
            found = &word;
        }
    }
    return found && percentDecode(found->mid(prefix.size()), decoded);
}

bool VellTrustedComment::describes(const Component &component) const
{
    const struct
    {
        const char *key;
        QByteArray expected;
    } fields[] = {
        {"project", bytesOf(component.getProject())},
        {"name", bytesOf(component.getName())},
        {"type", bytesOf(component.getType())},
        {"version", bytesOf(component.getVersion())},
    };
    for (const auto &field : fields) {
        QByteArray signedValue;
        if (!value(field.key, signedValue) || signedValue != field.expected) {
            return false;
        }
    }
    return true;
}

VellTrustedComment::Expiry VellTrustedComment::expiry() const
{
    Expiry expiry;
    int pairs = 0;
    for (const QByteArray &word : words) {
        pairs += word.startsWith("expires=");
    }
    if (pairs == 0) {
        return expiry;
    }
    QByteArray text;
    // Exactly the one form the signing tool writes; anything else is no expiry one can trust.
    static const QByteArray Shape("dddd-dd-ddTdd:dd:ddZ");
    bool shaped = value("expires", text) && text.size() == Shape.size();
    for (int i = 0; shaped && i < Shape.size(); ++i) {
        shaped = Shape.at(i) == 'd' ? (text.at(i) >= '0' && text.at(i) <= '9')
                                    : text.at(i) == Shape.at(i);
    }
    if (shaped) {
        expiry.at = QDateTime::fromString(QString::fromLatin1(text), Qt::ISODate);
        expiry.at.setTimeSpec(Qt::UTC);
    }
    expiry.valid = shaped && expiry.at.isValid();
    return expiry;
}

bool VellTrustedComment::allowsDowngrade() const
{
    QByteArray allowed;
    return value("downgrade", allowed) && allowed == "allowed";
}
