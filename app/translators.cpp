#include "translators.h"

#include <QTranslator>

bool loadAppCatalogue(QTranslator &translator)
{
    return translator.load(QStringLiteral("Tuv_R_ru_RU"));
}

bool loadQtCatalogue(QTranslator &translator)
{
    return translator.load(QStringLiteral("translations/qt_ru"))
        || translator.load(QStringLiteral("qt_ru"));
}
