#pragma once

#include <QFileIconProvider>
#include <QHash>
#include <QIcon>
#include <QMimeDatabase>
#include <QString>

// Icons of the file lists and the path boxes, chosen from the name alone (its suffix and the
// folder flag), so that no file needs to be read or created to show one. Each suffix is looked
// up once; a listing of tens of thousands of rows then costs one hash lookup per painted row.
// Used on the GUI thread only.
class FileIconCache {
public:
    FileIconCache();

    QIcon iconFor(const QString& name, bool folder);
    QIcon folderIcon() const { return folder_; }
    QIcon driveIcon() const { return drive_; }

private:
    QIcon lookUp(const QString& name) const;

    QFileIconProvider provider_;
    QMimeDatabase mimeTypes_;
    QIcon folder_;
    QIcon drive_;
    QHash<QString, QIcon> bySuffix_; // lower-case suffix, "" for names without one
};
