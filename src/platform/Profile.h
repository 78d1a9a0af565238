#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// One INI file read and written with the semantics of the Windows private-profile functions:
// section and key names ignore case, a missing file or key gives the caller's default, and the
// first write creates the file and the section. Texts are stored in code page 936. The file is
// never held open: each call reads it afresh, and each write replaces it whole through a
// temporary file in the same folder, so a failed write leaves the old file intact.
class Profile {
public:
    // The buffers the callers of the original functions pass: one value, one whole section.
    static constexpr int StringBufferBytes = 260;
    static constexpr int SectionBufferBytes = 2048;

    explicit Profile(QString filePath);

    const QString& filePath() const { return path_; }

    // The value's leading decimal digits, with an optional sign: "12abc" reads 12, "abc" 0, a
    // negative number 0, and a number past the int range the largest int. An absent key or an
    // empty value gives defaultValue.
    int readInt(const QString& section, const QString& key, int defaultValue) const;

    // The value without surrounding blanks or one pair of matching quotes, cut to at most
    // bufferBytes - 1 bytes without splitting a character. An absent key gives defaultValue,
    // cut the same way.
    QString readString(const QString& section, const QString& key,
                       const QString& defaultValue = QString(),
                       int bufferBytes = StringBufferBytes) const;
    // readString for several keys of one section, reading the file once.
    QStringList readStrings(const QString& section, const QStringList& keys,
                            const QString& defaultValue = QString(),
                            int bufferBytes = StringBufferBytes) const;

    // The section's entries as "key=value" texts in file order, as many whole entries as fit
    // a buffer of bufferBytes holding each one NUL-terminated plus a final NUL. An entry that
    // does not fit whole is left out rather than cut, so no caller ever compares a cut value.
    QStringList readSection(const QString& section, int bufferBytes = SectionBufferBytes) const;

    // Sets the key, replacing an existing value in place and keeping every other line. Fails,
    // leaving the file as it was, when the folder cannot be written, when an existing file
    // cannot be read, or when a text cannot be stored (see canStore).
    bool writeString(const QString& section, const QString& key, const QString& value) const;

    // Whether a value survives a write and a read unchanged in meaning: no line breaks or NULs,
    // and every character present in code page 936.
    static bool canStore(const QString& text);

private:
    // The file's bytes; empty when there is no file, nothing when it exists but cannot be read.
    std::optional<QByteArray> load() const;

    QString path_;
};
