#pragma once

#include <QString>
#include <QVector>

// What the properties dialog shows about one local entry, read when it opens. Symbolic links
// are described as links, with their target; sizes and times are those of what they point to.
class FileProperties {
public:
    struct Line {
        QString label;
        QString value;
    };

    static FileProperties read(const QString& path);

    // Label and value pairs in display order; the size only for files, the link target only
    // for links.
    QVector<Line> lines() const;

    QString name;
    QString type;
    QString location;
    QString size;
    QString created;
    QString modified;
    QString accessed;
    QString permissions;
    QString owner;
    QString group;
    QString linkTarget;
};
