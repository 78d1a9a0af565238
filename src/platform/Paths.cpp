#include "platform/Paths.h"

#include <QStandardPaths>

QString Paths::documentsFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

QString Paths::desktopFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
}

QString Paths::workFolder(const QString& documentsFolder)
{
    return documentsFolder + QStringLiteral("/ftpwork");
}

QString Paths::workFolder()
{
    return workFolder(documentsFolder());
}
