#include "app/gui/CftpApp.h"
#include "platform/gui/MessageBoxPrompt.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    MessageBoxPrompt prompt;
    CftpApp kevra(prompt);
    kevra.InitInstance();
    return application.exec();
}
