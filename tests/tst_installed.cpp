#include "answeredchoices.h"
#include "app/startoptions.h"
#include "app/translators.h"
#include "clipmaker.h"
#include "jobs/codectools.h"
#include "mainwindow/mainwindow.h"
#include "modaldriver.h"
#include "settings/settingsstore.h"
#include "testsettings.h"

#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// An installed Tuv-R as a Russian-speaking user meets it from the desktop
// menu. This program must run from the installed bin folder, beside tuv-r,
// so that the program's own lookups of its catalogue and tools start where
// the installed program's do: scripts/install_check.sh copies it there and
// runs it with a Russian locale and no codec tools on PATH.
class TestInstalled : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void windowIsRussian();
    void qtDialogsAreRussian();
    void encodeAndDecodeWithInstalledTools();
    void cleanupTestCase();

private:
    QTemporaryDir tempDir;
    QString home;
    std::unique_ptr<Catalogues> catalogues;
};

void TestInstalled::initTestCase()
{
    QVERIFY(tempDir.isValid());
    QVERIFY2(QFileInfo(QDir(CodecTools::privateToolsFolder()).filePath(CodecTools::encoderProgram)).isExecutable(),
             qPrintable("no installed encoder in " + CodecTools::privateToolsFolder()
                        + ": run this from an installed bin folder, as scripts/install_check.sh does"));
    QVERIFY2(QStandardPaths::findExecutable(CodecTools::encoderProgram).isEmpty(),
             "an encoder.exe on PATH would stand in for the installed one");
    QVERIFY2(QLocale().language() == QLocale::Russian,
             qPrintable("the locale is " + QLocale().name() + ", not a Russian one"));

    // The data folder below a home of the test's own, where a user without
    // XDG variables has it.
    home = tempDir.filePath(QStringLiteral("home"));
    QVERIFY(QDir().mkpath(home));
    qputenv("HOME", QFile::encodeName(home));
    qunsetenv("XDG_DATA_HOME");
    qunsetenv("XDG_CONFIG_HOME");
    isolateSettings(tempDir.filePath(QStringLiteral("settings")));
    // The names main() and the program's file name give it, which name its data folder.
    QCoreApplication::setOrganizationName(SettingsStore::organization());
    QCoreApplication::setApplicationName(QStringLiteral("tuv-r"));
    // As main() makes it at start-up.
    QVERIFY(StartOptions{true}.makeConfigFolder());

    // A working folder without catalogues, as a menu start has: only the
    // installed ones can translate.
    const QString work = tempDir.filePath(QStringLiteral("work"));
    QVERIFY(QDir().mkpath(work));
    QVERIFY(QDir::setCurrent(work));
    catalogues = std::make_unique<Catalogues>();
}

void TestInstalled::windowIsRussian()
{
    MainWindow window(StartOptions{true}.configFolder());
    QCOMPARE(window.findChild<QPushButton *>(QStringLiteral("pushButtonEnc"))->text(), QStringLiteral("Кодер"));
    QCOMPARE(window.findChild<QPushButton *>(QStringLiteral("pushButtonDec"))->text(), QStringLiteral("Декодер"));
}

// Qt's own texts in its file dialog come from Qt's installed catalogue.
void TestInstalled::qtDialogsAreRussian()
{
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    auto *label = dialog.findChild<QLabel *>(QStringLiteral("fileTypeLabel"));
    QVERIFY2(label, "Qt's file dialog has no file type label");
    QCOMPARE(label->text(), QStringLiteral("Типы файлов:"));
}

void TestInstalled::encodeAndDecodeWithInstalledTools()
{
    // A Russian desktop's videos folder, so the paths the tools get are not ASCII.
    const QString videos = QDir(home).filePath(QStringLiteral("Видео"));
    QVERIFY(QDir().mkpath(videos));
    const QString clip = videos + QStringLiteral("/clip.yuv");
    const int frames = 3;
    QVERIFY(writeSmallClip(clip, frames));
    storeSmallClipOptions(frames);

    auto answered = std::make_unique<AnsweredChoices>();
    AnsweredChoices *choices = answered.get();
    MainWindow window(StartOptions{true}.configFolder(), std::move(answered));
    window.show();
    ModalDriver driver;
    QSignalSpy ended(&window, &MainWindow::jobEnded);
    choices->answers << clip << videos;
    driver.expect("optDialog", QStringLiteral("Параметры кодирования"), acceptDialog());
    driver.expectBox(QStringLiteral("Кодирование завершено"));
    window.findChild<QPushButton *>(QStringLiteral("pushButtonEnc"))->click();
    QVERIFY2(ended.wait(60000), "the encode never ended");
    QCOMPARE(choices->asked.value(0).caption, QStringLiteral("Открыть медиафайл"));
    QVERIFY2(driver.allAnswered(), qPrintable(driver.state() + "\n" + driver.boxes.value(0).detailedText));
    const QString stream = videos + QStringLiteral("/stream.dat");
    QVERIFY2(QFileInfo(stream).size() > 0, "no stream.dat in the output folder");
    const QString report = driver.boxes.value(0).text;
    QVERIFY2(report.startsWith(QStringLiteral("Степень сжатия: ")), qPrintable(report));
    // The installed encoder found its catalogue: its own words and numbers are
    // Russian too.
    QVERIFY2(report.contains(QStringLiteral("Закодировано 3 кадра 720x576")), qPrintable(report));
    QVERIFY2(report.contains(QRegularExpression(QStringLiteral("бита на пиксель, \\d+,\\d\\d кбит/с"))),
             qPrintable(report));

#ifdef Q_OS_WIN
    const QString dataFolder = QDir::fromNativeSeparators(qEnvironmentVariable("LOCALAPPDATA"))
        + QStringLiteral("/NORVAKE/tuv-r");
#else
    const QString dataFolder = home + QStringLiteral("/.local/share/NORVAKE/tuv-r");
#endif
    QVERIFY2(QFileInfo::exists(dataFolder + QStringLiteral("/config.txt")), "no config.txt in the data folder");
    QVERIFY2(!QFileInfo::exists(home + QStringLiteral("/config.txt")), "config.txt in the home folder");
    QVERIFY2(!QFileInfo::exists(QStringLiteral("config.txt")), "config.txt in the working folder");

    choices->answers << stream;
    driver.expectBox(QStringLiteral("Декодирование завершено"));
    window.findChild<QPushButton *>(QStringLiteral("pushButtonDec"))->click();
    QVERIFY2(ended.wait(60000), "the decode never ended");
    QVERIFY2(driver.allAnswered(), qPrintable(driver.state() + "\n" + driver.boxes.value(1).text + "\n"
                                              + driver.boxes.value(1).detailedText));
    QCOMPARE(QFileInfo(videos + QStringLiteral("/stream.yuv")).size(), QFileInfo(clip).size());
    QVERIFY2(driver.boxes.value(1).text.contains(QStringLiteral("\nДекодировано 3 кадра 720x576 за ")),
             qPrintable(driver.boxes.value(1).text));
}

// Out of the temporary folder, which Windows cannot remove while it is a
// working folder.
void TestInstalled::cleanupTestCase()
{
    QDir::setCurrent(QDir::tempPath());
}

QTEST_MAIN(TestInstalled)
#include "tst_installed.moc"
