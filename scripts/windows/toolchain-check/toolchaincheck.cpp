// Checks the cross-built Qt under Wine: a form from uic shown by the platform
// plugin, a catalogue from lrelease read from rcc's resources, and QProcess
// starting a Windows program, as the program starts its tools.
#include "ui_form.h"

#include <QApplication>
#include <QFontInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QTranslator>
#include <QWidget>

class ToolchainCheck : public QObject
{
    Q_OBJECT

private slots:
    void formIsExposed();
    void defaultFontIsFound_data();
    void defaultFontIsFound();
    void catalogueTranslates();
    void processRuns_data();
    void processRuns();
    void missingProgramFailsToStart();
};

void ToolchainCheck::formIsExposed()
{
    QWidget window;
    Ui::Form form;
    form.setupUi(&window);
    window.show();
    QVERIFY2(QTest::qWaitForWindowExposed(&window), qPrintable(QGuiApplication::platformName()));
}

void ToolchainCheck::defaultFontIsFound_data()
{
    QTest::addColumn<QString>("platform");
    QTest::addColumn<QString>("family");

    QTest::newRow("offscreen takes the Linux tests' font") << "offscreen" << "DejaVu Sans";
    QTest::newRow("windows takes the Windows dialog font") << "windows" << "Tahoma";
}

void ToolchainCheck::defaultFontIsFound()
{
    QFETCH(QString, platform);
    QFETCH(QString, family);

    if (QGuiApplication::platformName() != platform)
        QSKIP("Another platform");
    QCOMPARE(QFontInfo(QApplication::font()).family(), family);
}

void ToolchainCheck::catalogueTranslates()
{
    QTranslator translator;
    QVERIFY(translator.load(QStringLiteral(":/i18n/toolchaincheck_ru.qm")));
    QCOMPARE(translator.translate("Form", "Close"), QStringLiteral("Закрыть"));
}

void ToolchainCheck::processRuns_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("output");

    const QString besideThis = QApplication::applicationDirPath() + QStringLiteral("/exitwith.exe");
    QTest::newRow("success beside this program") << besideThis << QStringList{"0"} << 0 << QByteArray();
    QTest::newRow("failure code comes back") << besideThis << QStringList{"3"} << 3 << QByteArray();
    QTest::newRow("argument with spaces and quotes stays whole")
        << besideThis << QStringList{"0", "a \"b\" c"} << 0 << QByteArray("a \"b\" c");
    QTest::newRow("compiled-in Linux path") << QStringLiteral(EXITWITH) << QStringList{"0", "found"} << 0
                                            << QByteArray("found");
}

void ToolchainCheck::processRuns()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, output);

    QProcess process;
    process.start(program, arguments);
    QVERIFY2(process.waitForFinished(), qPrintable(process.errorString()));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), exitCode);
    QCOMPARE(process.readAllStandardOutput(), output);
}

void ToolchainCheck::missingProgramFailsToStart()
{
    QProcess process;
    QSignalSpy errors(&process, &QProcess::errorOccurred);
    process.start(QApplication::applicationDirPath() + QStringLiteral("/missing.exe"), {});
    QTRY_COMPARE(errors.count(), 1);
    QCOMPARE(errors.at(0).at(0).value<QProcess::ProcessError>(), QProcess::FailedToStart);
}

QTEST_MAIN(ToolchainCheck)
#include "toolchaincheck.moc"
