#pragma once

#include <QString>

// The user's special folders and the program's work folder inside the documents folder.
class Paths {
public:
    // Empty when the system cannot name one.
    static QString documentsFolder();
    static QString desktopFolder();

    // documentsFolder + "/ftpwork"; formed the same way when documentsFolder is empty.
    static QString workFolder(const QString& documentsFolder);
    static QString workFolder();
};
