#include "jobs/encoderconfig.h"
#include "jobs/encoderoptions.h"
#include "optdialog/optdialog.h"
#include "settings/settingsstore.h"
#include "testsettings.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

// The encoder options as stored, read once: whatever the store holds, the
// options dialog shows what config.txt gets.
class TestEncoderOptions : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void dialogAndConfigAgree_data();
    void dialogAndConfigAgree();

private:
    QTemporaryDir tempDir;
};

void TestEncoderOptions::initTestCase()
{
    QVERIFY(tempDir.isValid());
    isolateSettings(tempDir.filePath(QStringLiteral("settings")));
    QVERIFY(QDir::setCurrent(tempDir.path()));
}

void TestEncoderOptions::dialogAndConfigAgree_data()
{
    QTest::addColumn<QVariantMap>("stored");
    QTest::addColumn<QString>("resolution");
    QTest::addColumn<int>("frames");
    QTest::addColumn<int>("quality");

    const QString frames = SettingsKeys::nFrames;
    const QString quality = SettingsKeys::quality;
    const QString width = SettingsKeys::width;
    const QString height = SettingsKeys::height;
    QTest::newRow("fresh store: the defaults") << QVariantMap() << "1920x1080" << 32 << 22;
    QTest::newRow("as the dialog stores them")
        << QVariantMap{{width, 720}, {height, 576}, {frames, 100}, {quality, 0}} << "720x576" << 100 << 0;
    QTest::newRow("frames as text from an older version")
        << QVariantMap{{frames, QStringLiteral("7")}} << "1920x1080" << 7 << 22;
    QTest::newRow("frames with a plus sign") << QVariantMap{{frames, QStringLiteral("+5")}} << "1920x1080"
                                             << 5 << 22;
    QTest::newRow("negative frames") << QVariantMap{{frames, QStringLiteral("-5")}} << "1920x1080" << 32
                                     << 22;
    QTest::newRow("a lone minus") << QVariantMap{{frames, QStringLiteral("-")}} << "1920x1080" << 32 << 22;
    QTest::newRow("empty frames") << QVariantMap{{frames, QString()}} << "1920x1080" << 32 << 22;
    QTest::newRow("zero frames") << QVariantMap{{frames, 0}} << "1920x1080" << 32 << 22;
    QTest::newRow("frames beyond a 32-bit count")
        << QVariantMap{{frames, QStringLiteral("2147483648")}} << "1920x1080" << 32 << 22;
    QTest::newRow("the largest frame count") << QVariantMap{{frames, QStringLiteral("2147483647")}}
                                             << "1920x1080" << 2147483647 << 22;
    QTest::newRow("quality above 51") << QVariantMap{{quality, 99}} << "1920x1080" << 32 << 22;
    QTest::newRow("quality below 0") << QVariantMap{{quality, -1}} << "1920x1080" << 32 << 22;
    QTest::newRow("quality not a number") << QVariantMap{{quality, QStringLiteral("high")}} << "1920x1080"
                                          << 32 << 22;
    QTest::newRow("the highest quality number") << QVariantMap{{quality, 51}} << "1920x1080" << 32 << 51;
    QTest::newRow("a width and height from two entries")
        << QVariantMap{{width, 1280}, {height, 1080}} << "1920x1080" << 32 << 22;
    QTest::newRow("a pair the dialog does not offer")
        << QVariantMap{{width, 640}, {height, 480}} << "1920x1080" << 32 << 22;
    QTest::newRow("an offered pair stored as text")
        << QVariantMap{{width, QStringLiteral("960")}, {height, QStringLiteral("576")}} << "960x576" << 32
        << 22;
}

void TestEncoderOptions::dialogAndConfigAgree()
{
    QFETCH(QVariantMap, stored);
    QFETCH(QString, resolution);
    QFETCH(int, frames);
    QFETCH(int, quality);
    SettingsStore settings;
    settings.clear();
    for (auto it = stored.cbegin(); it != stored.cend(); ++it)
        settings.setValue(it.key(), it.value());

    optDialog dialog;
    QCOMPARE(dialog.findChild<QComboBox *>(QStringLiteral("comboBoxResolution"))->currentText(), resolution);
    QCOMPARE(dialog.findChild<QLineEdit *>(QStringLiteral("lineEditFrames"))->text(), QString::number(frames));
    QCOMPARE(dialog.findChild<QSpinBox *>(QStringLiteral("spinBoxQuality"))->value(), quality);

    QString error;
    QVERIFY2(writeEncoderConfig(QStringLiteral("config.txt"), QStringLiteral("/in.yuv"), QStringLiteral("/out"),
                                EncoderOptions::read(settings), &error),
             qPrintable(error));
    QFile config(QStringLiteral("config.txt"));
    QVERIFY(config.open(QIODevice::ReadOnly));
    const QStringList size = resolution.split(QLatin1Char('x'));
    QCOMPARE(QString::fromUtf8(config.readAll()),
             QStringLiteral("file_in /in.yuv\nwidth %1\nheight %2\nnframes %3\n"
                            "file_dat /out/stream.dat\nquality_param %4\n")
                 .arg(size[0], size[1])
                 .arg(frames)
                 .arg(quality));
}

QTEST_MAIN(TestEncoderOptions)
#include "tst_encoderoptions.moc"
