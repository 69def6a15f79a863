// How soon the options dialog's preview shows a 1920x1080 frame: reading,
// converting and scaling the frame alone, and in the dialog from a change of
// size to the picture painted. Prints figures; it passes or fails nothing.
// Runs offscreen like the tests, its settings in a temporary folder.
#include "clipmaker.h"
#include "jobs/frameimage.h"
#include "jobs/framereader.h"
#include "optdialog/optdialog.h"
#include "testsettings.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

static const Resolution fullHd{1920, 1080};
static constexpr int clipFrames = 8;
static constexpr int rounds = 40;

static void printFigures(const char *what, QList<double> milliseconds)
{
    std::sort(milliseconds.begin(), milliseconds.end());
    std::printf("%s: median %.1f ms, slowest %.1f ms over %d rounds (target <= 30 ms)\n", what,
                milliseconds[milliseconds.size() / 2], milliseconds.last(), int(milliseconds.size()));
}

static QList<double> readAndConvert(const QString &clip, const QSize &size)
{
    QList<double> milliseconds;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        const ClipFrame frame = readClipFrame(clip, fullHd, round % clipFrames);
        const QImage picture = frameImage(frame.bytes, fullHd, size);
        milliseconds << timer.nsecsElapsed() / 1e6;
        if (picture.isNull())
            std::printf("no picture: %s\n", qPrintable(frame.failure));
    }
    return milliseconds;
}

// From 1280x720 to 1920x1080 in the list to the dialog painted anew.
static QList<double> sizeChanges(const QString &clip)
{
    optDialog dialog(clip);
    dialog.show();
    auto *resolution = dialog.findChild<QComboBox *>(QStringLiteral("comboBoxResolution"));
    QList<double> milliseconds;
    for (int round = 0; round < rounds; ++round) {
        resolution->setCurrentIndex(resolution->findText(QStringLiteral("1280x720")));
        dialog.repaint();
        QElapsedTimer timer;
        timer.start();
        resolution->setCurrentIndex(resolution->findText(QStringLiteral("1920x1080")));
        dialog.repaint();
        milliseconds << timer.nsecsElapsed() / 1e6;
    }
    return milliseconds;
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTemporaryDir work;
    isolateSettings(work.filePath(QStringLiteral("settings")));
    const QString clip = work.filePath(QStringLiteral("clip.yuv"));
    // Frames unlike each other, so no frame is the one just converted.
    if (!writeClip(clip, makeClip(fullHd.width, fullHd.height, clipFrames))) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(clip));
        return 1;
    }
    printFigures("1920x1080 frame read, converted and scaled to 320x180", readAndConvert(clip, QSize(320, 180)));
    printFigures("the same to 480x270, as on a screen at 150%", readAndConvert(clip, QSize(480, 270)));
    printFigures("dialog from 1280x720 to 1920x1080 to its preview painted", sizeChanges(clip));
    return 0;
}
