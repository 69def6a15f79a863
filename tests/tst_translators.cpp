#include "app/translators.h"
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

// Makes a fresh working folder holding each named file as a copy of its source.
void TestTranslators::enterFolderWith(const FileCopies &files)
{
    const QString folder = tempDir.filePath(QTest::currentDataTag());
    QVERIFY(QDir().mkpath(folder + QStringLiteral("/translations")));
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        QVERIFY2(QFile::copy(it.value(), folder + QLatin1Char('/') + it.key()), qPrintable(it.key()));
    QVERIFY(QDir::setCurrent(folder));
}

void TestTranslators::qtCatalogue_data()
{
    const QString first = QStringLiteral(MARKER_CATALOGUE_DIR "/qt_marker_first.qm");
    const QString second = QStringLiteral(MARKER_CATALOGUE_DIR "/qt_marker_second.qm");
    QTest::addColumn<FileCopies>("files");
    QTest::addColumn<bool>("loaded");
    QTest::addColumn<QString>("cancelText");

    QTest::newRow("neither catalogue") << FileCopies() << false << "Cancel";
    QTest::newRow("only qt_ru beside the program")
        << FileCopies{{"qt_ru.qm", second}} << true << "cancel-from-second";
    QTest::newRow("only translations/qt_ru")
        << FileCopies{{"translations/qt_ru.qm", first}} << true << "cancel-from-first";
    QTest::newRow("both: translations/qt_ru wins")
        << FileCopies{{"translations/qt_ru.qm", first}, {"qt_ru.qm", second}}
        << true << "cancel-from-first";
}

void TestTranslators::qtCatalogue()
{
    QFETCH(FileCopies, files);
    QFETCH(bool, loaded);
    QFETCH(QString, cancelText);
    enterFolderWith(files);

    QTranslator translator;
    QCOMPARE(loadQtCatalogue(translator), loaded);
    if (loaded)
        QVERIFY(QCoreApplication::installTranslator(&translator));
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), cancelText);
    QCoreApplication::removeTranslator(&translator);
}

void TestTranslators::appCatalogue_data()
{
    QTest::addColumn<FileCopies>("files");
    QTest::addColumn<bool>("loaded");
    QTest::addColumn<QString>("encoderText");
    QTest::addColumn<QString>("decoderText");

    QTest::newRow("no catalogue: source texts")
        << FileCopies() << false << "Encoder" << "Decoder";
    QTest::newRow("own catalogue: Russian buttons")
        << FileCopies{{"Tuv_R_ru_RU.qm", APP_CATALOGUE}} << true
        << QString::fromUtf8("Кодер") << QString::fromUtf8("Декодер");
}

void TestTranslators::appCatalogue()
{
    QFETCH(FileCopies, files);
    QFETCH(bool, loaded);
    QFETCH(QString, encoderText);
    QFETCH(QString, decoderText);
    enterFolderWith(files);

    QTranslator translator;
    QCOMPARE(loadAppCatalogue(translator), loaded);
    if (loaded)
        QVERIFY(QCoreApplication::installTranslator(&translator));
    MainWindow window;
    QCOMPARE(window.findChild<QPushButton *>("pushButtonEnc")->text(), encoderText);
    QCOMPARE(window.findChild<QPushButton *>("pushButtonDec")->text(), decoderText);
    QCoreApplication::removeTranslator(&translator);
}

QTEST_MAIN(TestTranslators)
#include "tst_translators.moc"
