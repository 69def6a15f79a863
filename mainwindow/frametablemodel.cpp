#include "frametablemodel.h"

#include <QLocale>

#include <cmath>

FrameTableModel::FrameTableModel(const QVector<FrameQuality> &frames, QObject *parent)
    : QAbstractTableModel(parent),
      frames(frames)
{
}

int FrameTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(frames.size());
}

int FrameTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

// "∞" for a plane that came through unchanged, a dash for a figure not measured.
static QString figureText(float value, int decimals)
{
    if (value < 0)
        return QStringLiteral("\u2013");
    if (std::isinf(value))
        return QStringLiteral("\u221e");
    return QLocale().toString(double(value), 'f', decimals);
}

QString FrameTableModel::text(const FrameQuality &frame, int column) const
{
    switch (column) {
    case Frame:
        return QString::number(frame.frame);
    case Type:
        return QString(QLatin1Char(frame.type));
    case Bytes:
        return QLocale().toString(frame.bytes);
    case PsnrY:
        return figureText(frame.psnrY, 2);
    case PsnrU:
        return figureText(frame.psnrU, 2);
    case PsnrV:
        return figureText(frame.psnrV, 2);
    case Ssim:
        return figureText(frame.ssim, 4);
    }
    return QString();
}

QVariant FrameTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= frames.size())
        return QVariant();
    if (role == Qt::DisplayRole)
        return text(frames[index.row()], index.column());
    if (role == Qt::TextAlignmentRole)
        return int((index.column() == Type ? Qt::AlignHCenter : Qt::AlignRight) | Qt::AlignVCenter);
    return QVariant();
}

QVariant FrameTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Frame:
        return tr("Frame");
    case Type:
        return tr("Type");
    case Bytes:
        return tr("Bytes");
    case PsnrY:
        return tr("PSNR Y, dB");
    case PsnrU:
        return tr("PSNR U, dB");
    case PsnrV:
        return tr("PSNR V, dB");
    case Ssim:
        return tr("SSIM");
    }
    return QVariant();
}
