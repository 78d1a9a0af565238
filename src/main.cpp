#include "app/Configuration.h"

#include <QCoreApplication>
#include <QTextStream>

// Placeholder until the main window lands: opens the work folder and prints its configuration.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const Configuration config = LoadConfiguration();
    QTextStream out(stdout);
    out << "work folder: " << config.workFolder << "\nftp.ini: " << config.configPath
        << "\nwork path: " << config.workPath << "\nupdate mode: " << config.updateMode << "\n";
    for (const QString& address : config.addresses)
        out << "server: " << address << "\n";
    return 0;
}
