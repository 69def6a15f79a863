#include "app/translators.h"
#include "foldername.h"
#include "mainwindow/mainwindow.h"
#include "testsettings.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

// Working-folder file name -> the file it is a copy of.
using FileCopies = QMap<QString, QString>;

class TestTranslators : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void qtCatalogue_data();
    void qtCatalogue();
    void appCatalogue_data();
    void appCatalogue();

private:
    QString folderWith(const QString &name, const FileCopies &files);
    void enterFolderWith(const FileCopies &files);

    QTemporaryDir tempDir;
    QString startFolder = QDir::currentPath();
};

void TestTranslators::initTestCase()
{
    QVERIFY(tempDir.isValid());
    isolateSettings(tempDir.filePath(QStringLiteral("settings")));
}

void TestTranslators::cleanup()
{
    QDir::setCurrent(startFolder);
}

// A fresh folder of the case holding each named file as a copy of its source.
QString TestTranslators::folderWith(const QString &name, const FileCopies &files)
{
    const QString row = folderNameFrom(QString::fromUtf8(QTest::currentDataTag()));
    const QString folder = tempDir.filePath(row + QLatin1Char('/') + name);
    if (!QDir().mkpath(folder + QStringLiteral("/translations")))
        return QString();
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        if (!QFile::copy(it.value(), folder + QLatin1Char('/') + it.key()))
            return QString();
    }
    return folder;
}

void TestTranslators::enterFolderWith(const FileCopies &files)
{
    const QString folder = folderWith(QStringLiteral("work"), files);
    QVERIFY2(!folder.isEmpty(), "cannot lay out the working folder");
    QVERIFY(QDir::setCurrent(folder));
}

void TestTranslators::qtCatalogue_data()
{
    const QString first = QStringLiteral(MARKER_CATALOGUE_DIR "/qt_marker_first.qm");
    const QString second = QStringLiteral(MARKER_CATALOGUE_DIR "/qt_marker_second.qm");
    QTest::addColumn<FileCopies>("files");
    QTest::addColumn<FileCopies>("qtFiles");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<bool>("loaded");
    QTest::addColumn<QString>("cancelText");

    const FileCopies none;
    QTest::newRow("neither catalogue") << none << none << "ru_RU" << false << "Cancel";
    QTest::newRow("only qt_ru beside the program")
        << FileCopies{{"qt_ru.qm", second}} << none << "en_US" << true << "cancel-from-second";
    QTest::newRow("only translations/qt_ru")
        << FileCopies{{"translations/qt_ru.qm", first}} << none << "en_US" << true << "cancel-from-first";
    QTest::newRow("both: translations/qt_ru wins")
        << FileCopies{{"translations/qt_ru.qm", first}, {"qt_ru.qm", second}} << none << "en_US"
        << true << "cancel-from-first";
    QTest::newRow("none in the working folder: Qt's own for a Russian locale")
        << none << FileCopies{{"qt_ru.qm", second}} << "ru_RU" << true << "cancel-from-second";
    QTest::newRow("none in the working folder: none of Qt's for an English locale")
        << none << FileCopies{{"qt_ru.qm", second}} << "en_US" << false << "Cancel";
    QTest::newRow("the working folder before Qt's own")
        << FileCopies{{"translations/qt_ru.qm", first}} << FileCopies{{"qt_ru.qm", second}} << "ru_RU"
        << true << "cancel-from-first";
}

void TestTranslators::qtCatalogue()
{
    QFETCH(FileCopies, files);
    QFETCH(FileCopies, qtFiles);
    QFETCH(QString, locale);
    QFETCH(bool, loaded);
    QFETCH(QString, cancelText);
    enterFolderWith(files);
    const QString qtFolder = folderWith(QStringLiteral("qt"), qtFiles);
    QVERIFY2(!qtFolder.isEmpty(), "cannot lay out Qt's folder");

    QTranslator translator;
    QCOMPARE(loadQtCatalogue(translator, QLocale(locale), qtFolder), loaded);
    if (loaded)
        QVERIFY(QCoreApplication::installTranslator(&translator));
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), cancelText);
    QCoreApplication::removeTranslator(&translator);
}

void TestTranslators::appCatalogue_data()
{
    QTest::addColumn<FileCopies>("files");
    QTest::addColumn<FileCopies>("installedFiles");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("encoderText");

    const FileCopies none;
    const QString russian = QString::fromUtf8("Кодер");
    QTest::newRow("no catalogue: source texts") << none << none << "ru_RU" << "Encoder";
    QTest::newRow("own catalogue in the working folder: Russian, whatever the locale")
        << FileCopies{{"Tuv_R_ru_RU.qm", APP_CATALOGUE}} << none << "en_US" << russian;
    QTest::newRow("installed, a Russian locale: Russian")
        << none << FileCopies{{"Tuv_R_ru.qm", APP_CATALOGUE}} << "ru_RU" << russian;
    QTest::newRow("installed, another Russian-speaking country: Russian")
        << none << FileCopies{{"Tuv_R_ru.qm", APP_CATALOGUE}} << "ru_UA" << russian;
    QTest::newRow("installed, an English locale: source texts")
        << none << FileCopies{{"Tuv_R_ru.qm", APP_CATALOGUE}} << "en_GB" << "Encoder";
}

void TestTranslators::appCatalogue()
{
    QFETCH(FileCopies, files);
    QFETCH(FileCopies, installedFiles);
    QFETCH(QString, locale);
    QFETCH(QString, encoderText);
    enterFolderWith(files);
    const QString installed = folderWith(QStringLiteral("installed"), installedFiles);
    QVERIFY2(!installed.isEmpty(), "cannot lay out the installed folder");

    QTranslator translator;
    QCOMPARE(loadAppCatalogue(translator, QLocale(locale), installed), encoderText != "Encoder");
    QCoreApplication::installTranslator(&translator);
    MainWindow window;
    QCOMPARE(window.findChild<QPushButton *>("pushButtonEnc")->text(), encoderText);
    QCoreApplication::removeTranslator(&translator);
}

QTEST_MAIN(TestTranslators)
#include "tst_translators.moc"
