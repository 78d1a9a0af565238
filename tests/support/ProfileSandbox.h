#pragma once

#include <QSettings>
#include <QTemporaryDir>

// Sends the application profile (QSettings of the user scope) to a fresh temporary folder for
// as long as it lives, so that tests never read or write the real one.
class ProfileSandbox {
public:
    ProfileSandbox()
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder_.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder_.path());
    }

    QString path() const { return folder_.path(); }

private:
    QTemporaryDir folder_;
};
