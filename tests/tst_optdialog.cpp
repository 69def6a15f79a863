#include "clipmaker.h"
#include "optdialog/optdialog.h"
#include "settings/settingsstore.h"
#include "testsettings.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTranslator>

#include <functional>

using DialogAction = std::function<void(optDialog &)>;

class tst_OptDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void freshStoreShowsDefaultsAndOkStoresNothing();
    void resolutionStoresWidthAndHeight_data();
    void resolutionStoresWidthAndHeight();
    void qualityStopsAtBounds_data();
    void qualityStopsAtBounds();
    void cancelKeepsChange();
    void framesFieldStoresOnlyWholeNumbersFromOne_data();
    void framesFieldStoresOnlyWholeNumbersFromOne();
    void openingStoresNothing();
    void returnAccepts_data();
    void returnAccepts();
    void fieldsFitAtAnyFontSize_data();
    void fieldsFitAtAnyFontSize();

private:
    QTemporaryDir tempDir;
    QString clipPath;
};

template<typename T>
static T *child(const QDialog &dialog, const char *name)
{
    return dialog.findChild<T *>(QLatin1String(name));
}

// Runs the dialog modally and acts on it once its event loop is up; -1 if it never became the modal one.
static int execWith(optDialog &dialog, const DialogAction &act)
{
    QTimer::singleShot(0, &dialog, [&dialog, act] {
        if (QApplication::activeModalWidget() == &dialog)
            act(dialog);
        else
            dialog.done(-1);
    });
    return dialog.exec();
}

static void clickOk(optDialog &dialog)
{
    QTest::mouseClick(child<QPushButton>(dialog, "pushButtonOk"), Qt::LeftButton);
}

static void clickCancel(optDialog &dialog)
{
    QTest::mouseClick(child<QPushButton>(dialog, "pushButtonCancel"), Qt::LeftButton);
}

void tst_OptDialog::initTestCase()
{
    isolateSettings(tempDir.path());
    QVERIFY2(tempDir.isValid(), qPrintable(tempDir.errorString()));
    clipPath = tempDir.filePath("clip.yuv");
    QVERIFY(writeSmallClip(clipPath));
}

void tst_OptDialog::init()
{
    SettingsStore().clear();
}

void tst_OptDialog::freshStoreShowsDefaultsAndOkStoresNothing()
{
    optDialog dialog;
    const QString resolution = child<QComboBox>(dialog, "comboBoxResolution")->currentText();
    QVERIFY2(resolution == QLatin1String("1920x1080"), qPrintable(resolution));
    const QString frames = child<QLineEdit>(dialog, "lineEditFrames")->text();
    QVERIFY2(frames == QLatin1String("32"), qPrintable(frames));
    QCOMPARE(child<QSpinBox>(dialog, "spinBoxQuality")->value(), 22);

    const int result = execWith(dialog, clickOk);
    QVERIFY2(result == 1, qPrintable(QString::number(result)));
    const SettingsStore settings;
    for (const QString &key : {SettingsKeys::width, SettingsKeys::height,
                               SettingsKeys::nFrames, SettingsKeys::quality})
        QVERIFY2(!settings.contains(key), qPrintable(key + QLatin1String(" was stored")));
}

void tst_OptDialog::resolutionStoresWidthAndHeight_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");

    // Each dialog opens on another entry, so every pick is a change.
    QTest::newRow("full HD") << QStringLiteral("1920x1080") << 1920 << 1080;
    QTest::newRow("HD, whose height is another entry's width") << QStringLiteral("1280x720") << 1280 << 720;
    QTest::newRow("960 wide") << QStringLiteral("960x576") << 960 << 576;
    QTest::newRow("720 wide") << QStringLiteral("720x576") << 720 << 576;
}

void tst_OptDialog::resolutionStoresWidthAndHeight()
{
    QFETCH(QString, entry);
    QFETCH(int, width);
    QFETCH(int, height);

    const bool startOnSmallest = width == 1920;
    SettingsStore().setValue(SettingsKeys::width, startOnSmallest ? 720 : 1920);
    SettingsStore().setValue(SettingsKeys::height, startOnSmallest ? 576 : 1080);
    optDialog dialog;
    auto *combo = child<QComboBox>(dialog, "comboBoxResolution");
    combo->setCurrentIndex(combo->findText(entry));
    const SettingsStore settings;
    const QString stored = settings.value(SettingsKeys::width).toString() + QLatin1Char('x')
        + settings.value(SettingsKeys::height).toString();
    QVERIFY2(settings.value(SettingsKeys::width).toInt() == width
                 && settings.value(SettingsKeys::height).toInt() == height,
             qPrintable(stored));
}

void tst_OptDialog::qualityStopsAtBounds_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("steps");
    QTest::addColumn<int>("expected");

    QTest::newRow("down past 0") << 1 << -3 << 0;
    QTest::newRow("up past 51") << 50 << 3 << 51;
}

void tst_OptDialog::qualityStopsAtBounds()
{
    QFETCH(int, start);
    QFETCH(int, steps);
    QFETCH(int, expected);

    SettingsStore().setValue(SettingsKeys::quality, start);
    optDialog dialog;
    auto *spinBox = child<QSpinBox>(dialog, "spinBoxQuality");
    for (int i = 0; i < qAbs(steps); ++i)
        steps < 0 ? spinBox->stepDown() : spinBox->stepUp();
    const QVariant stored = SettingsStore().value(SettingsKeys::quality);
    QVERIFY2(spinBox->value() == expected && stored.toInt() == expected,
             qPrintable(QStringLiteral("shown %1, stored %2").arg(spinBox->value()).arg(stored.toString())));
}

void tst_OptDialog::cancelKeepsChange()
{
    optDialog dialog;
    const int result = execWith(dialog, [](optDialog &dialog) {
        child<QSpinBox>(dialog, "spinBoxQuality")->setValue(30);
        clickCancel(dialog);
    });
    QVERIFY2(result == 0, qPrintable(QString::number(result)));
    const QVariant stored = SettingsStore().value(SettingsKeys::quality);
    QVERIFY2(stored.toInt() == 30, qPrintable(stored.toString()));
}

void tst_OptDialog::framesFieldStoresOnlyWholeNumbersFromOne_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("okEnabled");
    QTest::addColumn<int>("stored");

    // The store starts at 7: a field that holds no count leaves it there.
    QTest::newRow("a count") << "C" << "123" << "123" << true << 123;
    QTest::newRow("letters are refused") << "C" << "12a3" << "123" << true << 123;
    QTest::newRow("a plus sign reads as the number") << "C" << "+5" << "+5" << true << 5;
    QTest::newRow("empty: Ok waits") << "C" << "" << "" << false << 7;
    QTest::newRow("zero: Ok waits") << "C" << "0" << "0" << false << 7;
    QTest::newRow("a minus sign is refused") << "C" << "-5" << "5" << true << 5;
    QTest::newRow("beyond a 32-bit count: refused, the last count typed stays")
        << "C" << "99999999999" << "9999999999" << false << 999999999;
    QTest::newRow("a group separator in an English locale")
        << "en_US" << "1,000" << "1,000" << true << 1000;
    QTest::newRow("a group separator in a Russian locale")
        << "ru_RU" << QString::fromUtf8("1\u00a0000") << QString::fromUtf8("1\u00a0000") << true << 1000;
}

void tst_OptDialog::framesFieldStoresOnlyWholeNumbersFromOne()
{
    QFETCH(QString, locale);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(bool, okEnabled);
    QFETCH(int, stored);

    SettingsStore().setValue(SettingsKeys::nFrames, 7);
    const QLocale defaultLocale;
    QLocale::setDefault(QLocale(locale));
    const auto restoreLocale = qScopeGuard([&defaultLocale] { QLocale::setDefault(defaultLocale); });
    optDialog dialog;
    auto *frames = child<QLineEdit>(dialog, "lineEditFrames");
    frames->selectAll();
    QTest::keyClick(frames, Qt::Key_Backspace);
    QTest::keyClicks(frames, typed);
    QCOMPARE(frames->text(), shown);
    QCOMPARE(child<QPushButton>(dialog, "pushButtonOk")->isEnabled(), okEnabled);
    const QVariant value = SettingsStore().value(SettingsKeys::nFrames);
    QVERIFY2(value.toInt() == stored, qPrintable(value.toString()));
}

void tst_OptDialog::openingStoresNothing()
{
    SettingsStore().setValue(SettingsKeys::width, 640);
    SettingsStore().setValue(SettingsKeys::height, 480);
    optDialog dialog;
    const SettingsStore settings;
    QVERIFY2(settings.value(SettingsKeys::width).toInt() == 640
                 && settings.value(SettingsKeys::height).toInt() == 480,
             "opening the dialog overwrote the stored resolution");
    QVERIFY2(!settings.contains(SettingsKeys::quality) && !settings.contains(SettingsKeys::nFrames),
             "opening the dialog stored the other options");
}

void tst_OptDialog::returnAccepts_data()
{
    QTest::addColumn<QString>("focus");

    QTest::newRow("in the frame-count field") << "lineEditFrames";
    QTest::newRow("on the preview's frame slider") << "sliderFrame";
}

void tst_OptDialog::returnAccepts()
{
    QFETCH(QString, focus);
    storeSmallClipOptions();
    optDialog dialog(clipPath);
    const int result = execWith(dialog, [focus](optDialog &dialog) {
        QTest::keyClick(child<QWidget>(dialog, qPrintable(focus)), Qt::Key_Return);
        if (dialog.isVisible())
            dialog.done(-1);
    });
    QVERIFY2(result == 1, qPrintable(QString::number(result)));
}

void tst_OptDialog::fieldsFitAtAnyFontSize_data()
{
    QTest::addColumn<double>("fontScale");
    // Without a clip, the dialog has no preview.
    QTest::addColumn<QString>("preview");

    QTest::newRow("the default font at 96 dpi: the designed 300x150") << 1.0 << "";
    QTest::newRow("a font as at 120 dpi") << 1.25 << "";
    QTest::newRow("a font as at 144 dpi") << 1.5 << "";
    QTest::newRow("a font as at 192 dpi") << 2.0 << "";
    QTest::newRow("with the preview, a font as at 144 dpi") << 1.5 << "English";
    QTest::newRow("with the preview in Russian, a font as at 144 dpi") << 1.5 << "Russian";
}

// Every field and button gets at least the size it asks for: nothing is cut.
void tst_OptDialog::fieldsFitAtAnyFontSize()
{
    QFETCH(double, fontScale);
    QFETCH(QString, preview);
    QTranslator translator;
    if (preview == "Russian") {
        QVERIFY(translator.load(QStringLiteral(APP_CATALOGUE)));
        QVERIFY(QCoreApplication::installTranslator(&translator));
    }
    // 12 px is the usual desktop default, 9 points at 96 dpi; Qt's offscreen
    // platform would otherwise pick a size of its own, which differs between Qt 5 and 6.
    const QFont defaultFont = QApplication::font();
    QFont font = defaultFont;
    font.setPixelSize(qRound(12 * fontScale));
    QApplication::setFont(font);
    const auto restoreFont = qScopeGuard([&defaultFont] { QApplication::setFont(defaultFont); });
    storeSmallClipOptions();
    optDialog dialog(preview.isEmpty() ? QString() : clipPath);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    if (fontScale == 1.0 && preview.isEmpty())
        QCOMPARE(dialog.size(), QSize(300, 150));
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    QList<const char *> names{"labelResolution", "labelFrames", "labelQuality", "comboBoxResolution",
                              "lineEditFrames", "spinBoxQuality", "pushButtonOk", "pushButtonCancel"};
    if (!preview.isEmpty())
        names << "labelPicture" << "sliderFrame" << "labelFrame";
    for (const char *name : names) {
        const QWidget *widget = child<QWidget>(dialog, name);
        const QSize hint = widget->sizeHint();
        const QSize size = widget->size();
        QVERIFY2(size.width() >= hint.width() && size.height() >= hint.height(),
                 qPrintable(QStringLiteral("%1 is %2x%3 but needs %4x%5")
                                .arg(QLatin1String(name))
                                .arg(size.width())
                                .arg(size.height())
                                .arg(hint.width())
                                .arg(hint.height())));
        QVERIFY2(dialog.rect().contains(QRect(widget->mapTo(&dialog, QPoint(0, 0)), size)),
                 qPrintable(QLatin1String(name) + QLatin1String(" lies outside the dialog")));
    }
}

QTEST_MAIN(tst_OptDialog)
#include "tst_optdialog.moc"
