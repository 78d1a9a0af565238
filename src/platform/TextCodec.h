#pragma once

#include <QByteArray>
#include <QString>

// Converts between the program's QString texts and the bytes of one encoding on the wire or on
// disk. GBK (code page 936) is the program's stored and default wire encoding.
//
// A codec object is for the wire and never loses a byte: a byte that is not valid in its
// encoding becomes an escape character (U+DC80 to U+DCFF) that encode turns back into the
// same byte, so a name the server listed goes back exactly as it came. The static GBK helpers
// are for stored files and replace what they cannot convert.
class TextCodec {
public:
    enum class Encoding { Gbk, Utf8 };

    explicit TextCodec(Encoding encoding = Encoding::Gbk) : encoding_(encoding) {}

    Encoding encoding() const { return encoding_; }
    void setEncoding(Encoding encoding) { encoding_ = encoding; }

    QByteArray encode(const QString& text) const;
    QString decode(const QByteArray& bytes) const;

    static QByteArray toGbk(const QString& text);
    static QString fromGbk(const QByteArray& bytes);

    // Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
    static bool isValidUtf8(const QByteArray& bytes);
    static bool isAscii(const QByteArray& bytes);

private:
    Encoding encoding_;
};
