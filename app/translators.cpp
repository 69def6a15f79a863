#include "translators.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

QString installedCatalogueFolder()
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath()
                           + QLatin1String("/" TUVR_CATALOGUES_FROM_BIN));
}

QString qtCatalogueFolder()
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
#else
    return QLibraryInfo::location(QLibraryInfo::TranslationsPath);
#endif
}

bool loadAppCatalogue(QTranslator &translator, const QLocale &locale, const QString &installedFolder)
{
    return translator.load(QStringLiteral("Tuv_R_ru_RU"))
        || translator.load(locale, QStringLiteral("Tuv_R"), QStringLiteral("_"), installedFolder);
}

bool loadQtCatalogue(QTranslator &translator, const QLocale &locale, const QString &qtFolder)
{
    return translator.load(QStringLiteral("translations/qt_ru"))
        || translator.load(QStringLiteral("qt_ru"))
        || translator.load(locale, QStringLiteral("qt"), QStringLiteral("_"), qtFolder);
}

Catalogues::Catalogues()
{
    if (loadAppCatalogue(appTranslator, QLocale(), installedCatalogueFolder()))
        QCoreApplication::installTranslator(&appTranslator);
    if (loadQtCatalogue(qtTranslator, QLocale(), qtCatalogueFolder()))
        QCoreApplication::installTranslator(&qtTranslator);
}
