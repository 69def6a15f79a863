#include "settings/settingsstore.h"
#include "mainwindow/mainwindow.h"
#include "testsettings.h"

#include <QGridLayout>
#include <QMenuBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void windowIsFixedAt256x100();
    void buttonsFitALargeFont();
    void buttonsSitEncoderLeftDecoderRight();
    void noMenusAndAnEmptyStatusBar();
    void iconAndTitle();
    void handlesShareOneStoreInTheTestFolder();

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

void TestMainWindow::buttonsSitEncoderLeftDecoderRight()
{
    MainWindow window;
    auto *grid = window.findChild<QGridLayout *>("gridLayout_2");
    QVERIFY2(grid, "the central widget has no grid named gridLayout_2");
    QCOMPARE(grid->itemAtPosition(0, 0)->widget()->objectName(), QStringLiteral("pushButtonEnc"));
    QCOMPARE(grid->itemAtPosition(0, 1)->widget()->objectName(), QStringLiteral("pushButtonDec"));
    QCOMPARE(window.centralWidget()->objectName(), QStringLiteral("centralwidget"));
    QCOMPARE(window.objectName(), QStringLiteral("MainWindow"));
}

void TestMainWindow::noMenusAndAnEmptyStatusBar()
{
    MainWindow window;
    QCOMPARE(window.menuBar()->objectName(), QStringLiteral("menubar"));
    QVERIFY(window.menuBar()->actions().isEmpty());
    QCOMPARE(window.menuBar()->geometry(), QRect(0, 0, 256, 21));
    QCOMPARE(window.statusBar()->objectName(), QStringLiteral("statusbar"));
    QVERIFY(window.statusBar()->currentMessage().isEmpty());
    QVERIFY2(!window.statusBar()->isSizeGripEnabled(), "a window that cannot be resized shows a size grip");
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

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
