#pragma once

#include <QString>
#include <QStringView>
#include <QtGlobal>

// One entry of a LIST reply. Parse reads the two layouts servers print: Unix style, as ls -l
// ("drwxr-xr-x 2 ftp ftp 4096 Mar 05 14:22 pub"), and DOS style, as IIS
// ("03-05-14  02:22PM       <DIR>          docs"). Both are read field by field, so the widths
// of the link count, owner, group and size columns do not matter.
class CListItem {
public:
    CListItem() = default;
    virtual ~CListItem() = default;
    CListItem(const CListItem&) = default;
    CListItem& operator=(const CListItem&) = default;
    CListItem(CListItem&&) = default;
    CListItem& operator=(CListItem&&) = default;

    // Reads one line (its CR LF may be present or not). Answers whether it describes an entry;
    // after a rejected line every field holds its empty value.
    bool Parse(const QString& line);

    bool isFolder = false;
    // A symbolic link: shown as a file row under its own name, so that nothing ever descends
    // into it (a recursive delete through a link would reach the target's content).
    bool isLink = false;
    // The nine characters after the type of a Unix-style line; empty for DOS style.
    QString permissions;
    // Exactly as the server printed it: "Mar 05 14:22", "Mar  5  2013", "03-05-14  02:22PM ".
    QString date;
    // The entry's name as it is on the server: inner, leading and trailing blanks included.
    QString name;
    // FormatSize of bytes; empty for a folder.
    QString size;
    quint64 bytes = 0;

private:
    bool ParseUnix(QStringView text);
    bool ParseDos(QStringView text);
};
