#ifndef FRAMETABLEMODEL_H
#define FRAMETABLEMODEL_H

#include "jobs/framequality.h"

#include <QAbstractTableModel>

// Every frame of a series as a row: number, type, bytes, PSNR Y, U, V and
// SSIM. The rows are the series itself, shared: no item a cell.
class FrameTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { Frame, Type, Bytes, PsnrY, PsnrU, PsnrV, Ssim, ColumnCount };

    explicit FrameTableModel(const QVector<FrameQuality> &frames, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QString text(const FrameQuality &frame, int column) const;

    QVector<FrameQuality> frames;
};

#endif
