#include "QtTranslations.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QLibraryInfo>
#include <QtCore/QTranslator>

namespace {
const char* const QtTranslatorName = "PiboQtTranslations";
}

bool InstallQtTranslations()
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return false;
    if (app->findChild<QTranslator*>(QLatin1String(QtTranslatorName), Qt::FindDirectChildrenOnly))
        return true;
    // "qt_zh_CN" is Qt's catalogue of catalogues: it loads qtbase_zh_CN and
    // the other modules' catalogues with it.
    auto* translator = new QTranslator(app);
    translator->setObjectName(QLatin1String(QtTranslatorName));
    if (!translator->load(QStringLiteral("qt_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}
