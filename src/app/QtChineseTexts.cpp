#include "app/QtChineseTexts.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace {
const QString translationName = QStringLiteral("qtbase_zh_CN");
}

bool QtChineseTexts::install(QCoreApplication& application)
{
    if (application.findChild<QTranslator*>(translationName, Qt::FindDirectChildrenOnly))
        return true;
    auto* translator = new QTranslator(&application);
    translator->setObjectName(translationName);
    if (!translator->load(translationName, QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return false;
    }
    return true;
}
