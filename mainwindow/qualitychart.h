#ifndef QUALITYCHART_H
#define QUALITYCHART_H

#include "jobs/framequality.h"

#include <QVector>
#include <QWidget>

struct ChartColumn;

// PSNR and bytes per frame, drawn one pixel column at a time from the
// frames that fall in it, so 100,000 frames cost no more than a hundred.
// The worst frame (lowest PSNR Y) is marked, the frame types show as a strip
// of colours under the curves, and a click picks the worst frame of its column.
class QualityChart : public QWidget
{
    Q_OBJECT

public:
    enum Curve { PsnrY = 1, PsnrU = 2, PsnrV = 4, Bytes = 8 };
    Q_DECLARE_FLAGS(Curves, Curve)

    explicit QualityChart(QWidget *parent = nullptr);

    void setCurves(Curves shown);
    // The chart keeps a shared copy: the figures are not copied.
    void setFrames(const QVector<FrameQuality> &frames);
    // Marks the frame at place in the series; -1 marks none.
    void setPicked(qint32 place);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void framePicked(qint32 place);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    QRect plotRect() const;
    void pickAt(int x);
    void drawLegend(QPainter &painter) const;
    void drawTypeStrip(QPainter &painter, const QVector<ChartColumn> &columns, const QRect &plot) const;
    void drawAxes(QPainter &painter, const QRect &plot, float psnrLow, float psnrHigh, float bytesHigh) const;
    void drawMarker(QPainter &painter, const QRect &plot, qint32 place, const QColor &colour,
                    const QString &text) const;

    Curves curves = Curves(PsnrY | Bytes);
    QVector<FrameQuality> frames;
    qint32 worst = -1;
    qint32 picked = -1;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(QualityChart::Curves)

#endif
