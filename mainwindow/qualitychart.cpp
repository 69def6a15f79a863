#include "qualitychart.h"
#include "chartcolumns.h"

#include <QLocale>
#include <QMouseEvent>
#include <QPainter>

#include <cmath>

static const QColor psnrYColour(0x1f, 0x5f, 0xbf);
static const QColor psnrUColour(0x2c, 0xa0, 0x2c);
static const QColor psnrVColour(0x94, 0x67, 0xbd);
static const QColor bytesColour(0xc8, 0xc8, 0xc8);
static const QColor worstColour(0xd6, 0x27, 0x28);

// The strip under the curves: I frames red, P grey, B amber; a column with an I frame shows it.
static QColor typeColour(quint8 types)
{
    if (types & typeBit('I'))
        return QColor(0xd6, 0x27, 0x28);
    if (types & typeBit('P'))
        return QColor(0x80, 0x80, 0x80);
    return QColor(0xe0, 0xa0, 0x00);
}

QualityChart::QualityChart(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void QualityChart::setCurves(Curves shown)
{
    curves = shown;
    update();
}

void QualityChart::setFrames(const QVector<FrameQuality> &frames)
{
    this->frames = frames;
    worst = worstFrame(frames);
    update();
}

void QualityChart::setPicked(qint32 place)
{
    picked = place;
    update();
}

QSize QualityChart::sizeHint() const
{
    return QSize(fontMetrics().averageCharWidth() * 60, fontMetrics().height() * 10);
}

QSize QualityChart::minimumSizeHint() const
{
    return QSize(fontMetrics().averageCharWidth() * 30, fontMetrics().height() * 6);
}

// Room for the legend above, the dB figures left, the bytes right and the type strip below.
QRect QualityChart::plotRect() const
{
    const QFontMetrics metrics = fontMetrics();
    const int left = metrics.horizontalAdvance(QStringLiteral("100 dB ")) + 2;
    const int right = curves & Bytes ? metrics.horizontalAdvance(QStringLiteral(" 9,999,999")) : 4;
    const int top = metrics.height() + 4;
    const int bottom = metrics.height() / 2 + 2;
    return rect().adjusted(left, top, -right, -bottom);
}

void QualityChart::mousePressEvent(QMouseEvent *event)
{
    pickAt(event->pos().x());
}

void QualityChart::mouseMoveEvent(QMouseEvent *event)
{
    if (event->buttons() & Qt::LeftButton)
        pickAt(event->pos().x());
}

void QualityChart::pickAt(int x)
{
    const QRect plot = plotRect();
    if (frames.isEmpty() || plot.width() <= 0)
        return;
    const int column = qBound(0, x - plot.left(), plot.width() - 1);
    const ChartColumn hit = chartColumns(frames, plot.width()).at(column);
    emit framePicked(hit.worst >= 0 ? hit.worst : hit.first);
}

// The axis spans the finite PSNRs of all frames; an unchanged plane sits at the top.
static void widen(float &low, float &high, const FigureSpan &span)
{
    if (span.isEmpty())
        return;
    low = qMin(low, span.low);
    if (std::isfinite(span.high))
        high = qMax(high, span.high);
    else if (std::isfinite(span.low))
        high = qMax(high, span.low);
}

// One bar a pixel wide a column from the lowest to the highest figure,
// reaching the last column's span so the curve stays joined. Whole pixels
// filled as rectangles: the raster engine fills those fastest.
static QVector<QRect> columnBars(const QVector<ChartColumn> &columns, FigureSpan ChartColumn::*figure,
                                 const QRect &plot, float low, float high)
{
    QVector<QRect> bars;
    bars.reserve(columns.size());
    const auto yOf = [&](float value) {
        const float clamped = qBound(low, value, high);
        return plot.bottom() - qRound((clamped - low) / (high - low) * (plot.height() - 1));
    };
    const FigureSpan *last = nullptr;
    for (int x = 0; x < columns.size(); ++x) {
        const FigureSpan &span = columns[x].*figure;
        if (span.isEmpty()) {
            last = nullptr;
            continue;
        }
        float top = span.high, bottom = span.low;
        if (last) {
            top = qMax(top, last->low);
            bottom = qMin(bottom, last->high);
        }
        const int barTop = yOf(top);
        bars.append(QRect(plot.left() + x, barTop, 1, yOf(bottom) - barTop + 1));
        last = &span;
    }
    return bars;
}

static void fillBars(QPainter &painter, const QVector<QRect> &bars, const QColor &colour)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawRects(bars);
}

void QualityChart::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    const QRect plot = plotRect();
    if (frames.isEmpty() || plot.width() <= 0 || plot.height() <= 0)
        return;
    const QVector<ChartColumn> columns = chartColumns(frames, plot.width());
    float psnrLow = 1000, psnrHigh = 0, bytesHigh = 1;
    for (const ChartColumn &column : columns) {
        widen(psnrLow, psnrHigh, column.psnrY);
        if (curves & PsnrU)
            widen(psnrLow, psnrHigh, column.psnrU);
        if (curves & PsnrV)
            widen(psnrLow, psnrHigh, column.psnrV);
        bytesHigh = qMax(bytesHigh, column.bytes.high);
    }
    psnrLow = std::floor(qMin(psnrLow, psnrHigh) - 1);
    psnrHigh = std::ceil(psnrHigh + 1);
    if (curves & Bytes) {
        fillBars(painter, columnBars(columns, &ChartColumn::bytes, plot, 0, bytesHigh), bytesColour);
    }
    const struct
    {
        Curve curve;
        FigureSpan ChartColumn::*figure;
        QColor colour;
    } psnrCurves[] = {{PsnrV, &ChartColumn::psnrV, psnrVColour},
                      {PsnrU, &ChartColumn::psnrU, psnrUColour},
                      {PsnrY, &ChartColumn::psnrY, psnrYColour}};
    for (const auto &psnr : psnrCurves) {
        if (!(curves & psnr.curve))
            continue;
        fillBars(painter, columnBars(columns, psnr.figure, plot, psnrLow, psnrHigh), psnr.colour);
    }
    drawTypeStrip(painter, columns, plot);
    drawAxes(painter, plot, psnrLow, psnrHigh, bytesHigh);
    drawLegend(painter);
    if (worst >= 0)
        drawMarker(painter, plot, worst, worstColour,
                   tr("worst: frame %1, %2 dB").arg(frames[worst].frame).arg(double(frames[worst].psnrY), 0, 'f', 2));
    if (picked >= 0 && picked < frames.size())
        drawMarker(painter, plot, picked, palette().text().color(), QString());
}

// Columns of one colour in a row as one rectangle.
void QualityChart::drawTypeStrip(QPainter &painter, const QVector<ChartColumn> &columns, const QRect &plot) const
{
    const int top = plot.bottom() + 2;
    int runStart = 0;
    for (int x = 1; x <= columns.size(); ++x) {
        const QColor colour = typeColour(columns[runStart].types);
        if (x < columns.size() && typeColour(columns[x].types) == colour)
            continue;
        painter.fillRect(plot.left() + runStart, top, x - runStart, height() - top, colour);
        runStart = x;
    }
}

void QualityChart::drawAxes(QPainter &painter, const QRect &plot, float psnrLow, float psnrHigh,
                            float bytesHigh) const
{
    painter.setPen(palette().mid().color());
    painter.drawRect(plot.adjusted(0, 0, -1, -1));
    painter.setPen(palette().text().color());
    const QRect left(0, plot.top(), plot.left() - 2, plot.height());
    painter.drawText(left, Qt::AlignRight | Qt::AlignTop, tr("%1 dB").arg(double(psnrHigh), 0, 'f', 0));
    painter.drawText(left, Qt::AlignRight | Qt::AlignBottom, tr("%1 dB").arg(double(psnrLow), 0, 'f', 0));
    if (curves & Bytes) {
        const QRect right(plot.right() + 3, plot.top(), width() - plot.right() - 3, plot.height());
        painter.drawText(right, Qt::AlignLeft | Qt::AlignTop, QLocale().toString(qint64(bytesHigh)));
    }
}

void QualityChart::drawLegend(QPainter &painter) const
{
    const struct
    {
        Curve curve;
        QString text;
        QColor colour;
    } entries[] = {{PsnrY, tr("PSNR Y"), psnrYColour},
                   {PsnrU, tr("PSNR U"), psnrUColour},
                   {PsnrV, tr("PSNR V"), psnrVColour},
                   {Bytes, tr("bytes"), bytesColour.darker(130)}};
    const QFontMetrics metrics = fontMetrics();
    int x = plotRect().left();
    for (const auto &entry : entries) {
        if (!(curves & entry.curve))
            continue;
        painter.setPen(entry.colour);
        painter.drawText(x, metrics.ascent() + 1, entry.text);
        x += metrics.horizontalAdvance(entry.text) + metrics.averageCharWidth() * 2;
    }
    for (char type : {'I', 'P', 'B'}) {
        painter.setPen(typeColour(typeBit(type)));
        painter.drawText(x, metrics.ascent() + 1, QString(QLatin1Char(type)));
        x += metrics.averageCharWidth() * 2;
    }
}

void QualityChart::drawMarker(QPainter &painter, const QRect &plot, qint32 place, const QColor &colour,
                              const QString &text) const
{
    const int x = plot.left() + columnOf(place, frames.size(), plot.width());
    painter.setPen(QPen(colour, 1, text.isEmpty() ? Qt::SolidLine : Qt::DashLine));
    painter.drawLine(x, plot.top(), x, plot.bottom());
    if (text.isEmpty())
        return;
    const int textWidth = fontMetrics().horizontalAdvance(text);
    const int textLeft = x + 3 + textWidth <= plot.right() ? x + 3 : x - 3 - textWidth;
    painter.drawText(textLeft, plot.top() + fontMetrics().ascent() + 2, text);
}
