#ifndef TRANSLATORS_H
#define TRANSLATORS_H

class QTranslator;

// Both look in the working directory; a missing catalogue leaves the texts as they are.
bool loadAppCatalogue(QTranslator &translator);
bool loadQtCatalogue(QTranslator &translator);

#endif
