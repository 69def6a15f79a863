#ifndef TRANSLATORS_H
#define TRANSLATORS_H

#include <QTranslator>

class QLocale;
class QString;

// Where an installed Tuv-R keeps its own catalogues, found from its executable.
QString installedCatalogueFolder();
// Where this Qt keeps its catalogues.
QString qtCatalogueFolder();

// The working folder's "Tuv_R_ru_RU" first, as the program has always looked
// for it; else the catalogue for the user's locale in installedFolder.
// A missing catalogue leaves the texts as they are.
bool loadAppCatalogue(QTranslator &translator, const QLocale &locale, const QString &installedFolder);
// The working folder's "translations/qt_ru", then its "qt_ru"; else Qt's own
// catalogue for the user's locale in qtFolder.
bool loadQtCatalogue(QTranslator &translator, const QLocale &locale, const QString &qtFolder);

// The program's and Qt's catalogues for the user's locale, installed in the
// application for as long as the object lives.
class Catalogues
{
public:
    Catalogues();

private:
    QTranslator appTranslator;
    QTranslator qtTranslator;
};

#endif
