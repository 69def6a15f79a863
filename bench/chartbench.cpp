// What the per-frame view costs for 100,000 frames: the chart's redraw,
// painted into an image as the screen would get it, and the memory the
// series and the view take. Prints figures; it passes or fails nothing.
// Runs offscreen like the tests, its settings in a temporary folder.
#include "mainwindow/choices.h"
#include "mainwindow/perframeview.h"
#include "mainwindow/qualitychart.h"
#include "testsettings.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

static constexpr int frameCount = 100000;
static constexpr int rounds = 100;

// A GOP of 25 with B frames, quality wandering and a scene cut now and then.
static FrameSeries makeSeries()
{
    FrameSeries series;
    for (int i = 0; i < frameCount; ++i) {
        FrameQuality frame;
        frame.frame = i;
        frame.type = i % 25 == 0 ? 'I' : i % 3 == 0 ? 'P' : 'B';
        frame.bytes = frame.type == 'I' ? 40000 + i % 7000 : 3000 + (i * 37) % 9000;
        frame.psnrY = 38 + float((i * 13) % 50) / 10 - (i % 997 == 0 ? 12 : 0);
        frame.psnrU = frame.psnrY + 3;
        frame.psnrV = frame.psnrY + 4;
        frame.ssim = 0.95f;
        series.append(frame);
    }
    return series;
}

// The program's resident memory in KiB, where the system tells it.
static long residentKib()
{
#ifdef Q_OS_LINUX
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toLong() * 4;
#else
    return -1;
#endif
}

static void redraws(QualityChart &chart, const QSize &size)
{
    chart.resize(size);
    QImage image(size, QImage::Format_RGB32);
    QList<double> milliseconds;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        chart.render(&image);
        milliseconds << timer.nsecsElapsed() / 1e6;
    }
    std::sort(milliseconds.begin(), milliseconds.end());
    std::printf("chart %dx%d, %d frames: median %.2f ms, slowest %.2f ms a redraw over %d (target <= 16 ms)\n",
                size.width(), size.height(), frameCount, milliseconds[rounds / 2], milliseconds.last(), rounds);
}

static PerFrameView *shownView(const FrameSeries &series, Choices *choices)
{
    auto *view = new PerFrameView(series, {QStringLiteral("clip.yuv"), {1920, 1080}, QStringLiteral("stream.dat")},
                                  choices);
    view->resize(1400, 800);
    view->show();
    QCoreApplication::processEvents();
    view->grab();
    return view;
}

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir settings;
    isolateSettings(settings.path());

    // A view of one frame first: fonts, style and the first window's costs are paid by it.
    Choices choices;
    FrameSeries oneFrame;
    oneFrame.append(FrameQuality());
    const long before = residentKib();
    PerFrameView *small = shownView(oneFrame, &choices);
    const long withSmall = residentKib();
    const FrameSeries series = makeSeries();
    const long withSeries = residentKib();
    PerFrameView *view = shownView(series, &choices);
    const long withView = residentKib();
    if (before >= 0)
        std::printf("memory: a view of 1 frame %ld KiB; the series of %d frames %ld KiB, its view %ld KiB, "
                    "%ld KiB more than the one-frame view's (target <= 10 MB for the frames)\n",
                    withSmall - before, frameCount, withSeries - withSmall, withView - withSeries,
                    (withView - withSeries) - (withSmall - before));

    QualityChart chart;
    chart.setCurves(QualityChart::PsnrY | QualityChart::PsnrU | QualityChart::PsnrV | QualityChart::Bytes);
    chart.setFrames(series.frames());
    chart.setPicked(frameCount / 2);
    // The view's own size, a full HD screen's width, and that at 150%.
    for (const QSize &size : {QSize(800, 250), QSize(1920, 400), QSize(2880, 600)})
        redraws(chart, size);
    delete view;
    delete small;
    return 0;
}
