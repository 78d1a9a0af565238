#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <optional>
#include <vector>

// The bytes of one INI file (code page 936) split into lines, with its sections and entries
// located. Lines are only classified, never rewritten, so an edit keeps every other byte of the
// file as it was: comments, blank lines, junk and the file's own line endings.
class ProfileDocument {
public:
    explicit ProfileDocument(QByteArray bytes);

    const QByteArray& bytes() const { return bytes_; }

    // The trimmed raw value of the first entry named key in the first section named section.
    std::optional<QByteArray> value(const QString& section, const QString& key) const;
    // The first value of every key of the first section named section, by case-folded key.
    QHash<QString, QByteArray> values(const QString& section) const;
    // "key=value" of every entry of the first section named section, in file order.
    QList<QByteArray> entries(const QString& section) const;
    // The file's bytes with key set to value: the existing line is replaced in place, a new key
    // goes after the last line of its section, a new section is appended at the end.
    QByteArray withValue(const QString& section, const QString& key, const QByteArray& value) const;

    // The longest prefix of bytes of at most maxBytes that ends on a character boundary.
    static QByteArray truncated(const QByteArray& bytes, qsizetype maxBytes);
    // The form in which section and key names are compared.
    static QString foldedName(const QString& name);

private:
    enum class Kind { Blank, Comment, Section, Entry, Other };
    struct Line {
        Kind kind = Kind::Other;
        qsizetype start = 0; // first byte of the line
        qsizetype end = 0;   // one past its last byte, terminator excluded
        qsizetype next = 0;  // first byte of the following line
        QByteArray name;     // section name or entry key, trimmed
        QByteArray value;    // entry value, trimmed
    };
    struct Range {
        std::size_t header; // index of the section's header line
        std::size_t end;    // one past its last line
    };

    void split();
    Line classify(qsizetype start, qsizetype end) const;
    std::optional<Range> findSection(const QString& section) const;
    const Line* findEntry(const Range& range, const QString& key) const;
    QByteArray lineEnding() const;
    QByteArray withNewEntry(const Range& range, const QByteArray& line) const;
    QByteArray withNewSection(const QString& section, const QByteArray& line) const;

    QByteArray bytes_;
    std::vector<Line> lines_;
};
