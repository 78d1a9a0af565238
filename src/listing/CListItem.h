#pragma once

#include <QString>
#include <QStringView>
#include <QtGlobal>

// One entry of a LIST reply, or of a machine listing (MLSD, read by MlsdFacts). Parse reads the two
// layouts servers print: Unix style, as ls -l
// ("drwxr-xr-x 2 ftp ftp 4096 Mar 05 14:22 pub"), and DOS style, as IIS and dir
// ("03-05-14  02:22PM       <DIR>          docs", "2010-03-14  08:15  1,234,567 big.bin").
// Both are read field by field, so the widths of the link count, owner, group and size columns
// do not matter, and the owner and group may be missing. A Unix date may also be numeric
// ("2012-01-31 08:05", "03-14 16:20"), have the day first ("12 Aug 02:27", "4. März, 18:30"),
// a localized month ("márc 3 11:00", "12월 7일") or a year and a time ("Jun 14, 2003 11:20");
// it ends at its shortest complete form, so a name that begins with digits stays whole.
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
    // Exactly as the server printed it, for the date column and its byte-wise sort:
    // "Mar 05 14:22", "Mar  5  2013", "03-05-14  02:22PM ", "4. März, 18:30".
    QString date;
    // The entry's name as it is on the server: inner, leading and trailing blanks included.
    QString name;
    // FormatSize of bytes; empty for a folder.
    QString size;
    quint64 bytes = 0;
    // bytes is the file's length as the server stores it: a machine listing's size fact, or a
    // LIST line's byte count; not a link's, which gives the length of the link.
    bool exactSize = false;

private:
    bool ParseUnix(QStringView text);
    bool ParseDos(QStringView text);
};
