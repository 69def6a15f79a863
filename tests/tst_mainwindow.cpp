#include "settings/settingsstore.h"
#include "mainwindow/choices.h"
#include "mainwindow/mainwindow.h"
#include "testsettings.h"

#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void windowIsFixedAt256x100();
    void buttonsFitALargeFont();
    void iconAndTitle();
    void handlesShareOneStoreInTheTestFolder();
    void defaultChoicesAskTheSystemDialogs_data();
    void defaultChoicesAskTheSystemDialogs();

private:
    QTemporaryDir tempDir;
};

void TestMainWindow::initTestCase()
{
    QVERIFY(tempDir.isValid());
    isolateSettings(tempDir.path());
}

void TestMainWindow::windowIsFixedAt256x100()
{
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.size(), QSize(256, 100));
    QCOMPARE(window.minimumSize(), QSize(256, 100));
    QCOMPARE(window.maximumSize(), QSize(256, 100));
    window.resize(600, 400);
    QCOMPARE(window.size(), QSize(256, 100));
}

void TestMainWindow::buttonsFitALargeFont()
{
    const QFont defaultFont = QApplication::font();
    QFont font = defaultFont;
    font.setPointSizeF(font.pointSizeF() * 3);
    QApplication::setFont(font);
    const auto restoreFont = qScopeGuard([&defaultFont] { QApplication::setFont(defaultFont); });
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.minimumSize(), window.maximumSize());
    for (const char *name : {"pushButtonEnc", "pushButtonDec"}) {
        const QWidget *button = window.findChild<QWidget *>(name);
        QVERIFY2(button->width() >= button->sizeHint().width()
                     && button->height() >= button->sizeHint().height(),
                 name);
    }
}

void TestMainWindow::iconAndTitle()
{
    MainWindow window;
    QCOMPARE(window.windowTitle(), QStringLiteral("Tuv-R"));
    QVERIFY2(!window.windowIcon().isNull(), "the logo did not load from the resource bundle");
    QCOMPARE(window.windowIcon().availableSizes().value(0), QSize(256, 256));
    QCOMPARE(window.iconSize(), QSize(64, 64));
}

void TestMainWindow::handlesShareOneStoreInTheTestFolder()
{
    SettingsStore writer;
    SettingsStore reader;
    writer.setValue(SettingsKeys::quality, 40);
    QCOMPARE(reader.value(SettingsKeys::quality, 22).toInt(), 40);
    QVERIFY2(writer.fileName().startsWith(tempDir.path()), qPrintable(writer.fileName()));
    writer.clear();
}

void TestMainWindow::defaultChoicesAskTheSystemDialogs_data()
{
    QTest::addColumn<bool>("folder");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("nameFilters");

    QTest::newRow("a clip to open") << false << "YUV files (*.yuv);;All files (*.*)"
                                    << QStringList{"YUV files (*.yuv)", "All files (*.*)"};
    QTest::newRow("a folder to save in") << true << "" << QStringList{};
}

// What the window asks reaches the dialog unchanged; the dialog is only
// looked at, then cancelled.
void TestMainWindow::defaultChoicesAskTheSystemDialogs()
{
    QFETCH(bool, folder);
    QFETCH(QString, filter);
    QFETCH(QStringList, nameFilters);
    const QFileDialog::Options options = QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks;
    QString title;
    QString startFolder;
    QStringList shownFilters;
    bool foldersOnly = false;
    bool keepsLinks = false;
    QTimer::singleShot(0, this, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        title = dialog->windowTitle();
        startFolder = dialog->directory().absolutePath();
        shownFilters = dialog->nameFilters();
        // Qt 5 picks DirectoryOnly, Qt 6 Directory with the option.
        foldersOnly = dialog->fileMode() != QFileDialog::ExistingFile && dialog->testOption(QFileDialog::ShowDirsOnly);
        keepsLinks = dialog->testOption(QFileDialog::DontResolveSymlinks);
        dialog->reject();
    });

    Choices choices;
    const QString answer = folder ? choices.existingDirectory(nullptr, "Caption", tempDir.path(), options)
                                  : choices.openFileName(nullptr, "Caption", tempDir.path(), filter);
    QVERIFY2(answer.isEmpty(), qPrintable(answer));
    QCOMPARE(title, QStringLiteral("Caption"));
    QCOMPARE(startFolder, tempDir.path());
    if (!folder)
        QCOMPARE(shownFilters, nameFilters);
    QCOMPARE(foldersOnly, folder);
    QCOMPARE(keepsLinks, folder);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
