#pragma once

#include "listing/CListItem.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVector>

// The local pane's folder: what it shows and where navigation leads. Rows are listed in the
// pane's order: ".." on top below any folder but the root, then folders in the reverse of the
// enumeration order, then files in enumeration order; hidden entries never appear.
// Used on the GUI thread only.
class LocalBrowser {
public:
    // "/" first, then the mount points of mounted volumes, then the desktop folder + "/".
    static QStringList drives(const QString& desktopFolder);
    // "/data/old" and "/data/old/" give "/data/"; "/data" gives "/"; "/" stays "/".
    static QString parentOf(const QString& folder);
    // folder + "/" (only when it does not end with one) + name.
    static QString join(const QString& folder, const QString& name);
    // Month/day/two-digit-year of the last modification, in local time: 12/07/26.
    static QString dateText(const QDateTime& modified);

    QString currentFolder() const { return currentFolder_; }

    // Makes folder the shown one when it can be read; otherwise the previous folder stays
    // current and is listed again. Answers whether the folder could be entered.
    bool enter(const QString& folder);
    // Rows of the current folder, read afresh.
    QVector<CListItem> list() const;

private:
    QString currentFolder_ = QStringLiteral("/");
};
