#pragma once

#include <QByteArray>
#include <QString>

// Converts between the program's QString texts and the bytes of one encoding on the wire or on
// disk. GBK (code page 936) is the program's stored and default wire encoding.
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

private:
    Encoding encoding_;
};
