#include "frameimage.h"
#include "swscalelibrary.h"

#include <QByteArray>
#include <QSize>

#include <cstdlib>
#include <memory>

// The encoder leaves colour unsaid in its stream (x264's defaults), so
// players take it as limited ("TV") range 8-bit, in BT.709 from HD sizes on
// and BT.601 below, by the size rule players use.
static int playerMatrix(const Resolution &resolution)
{
    return resolution.width >= 1280 || resolution.height > 576 ? SWS_CS_ITU709 : SWS_CS_ITU601;
}

static SwsContext *converterTo(const SwscaleLibrary &swscale, const QSize &size, const Resolution &resolution)
{
    SwsContext *context = swscale.getContext(resolution.width, resolution.height, AV_PIX_FMT_YUV420P, size.width(),
                                             size.height(), AV_PIX_FMT_RGB32, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!context)
        return nullptr;
    const int limitedRange = 0;
    const int fullRange = 1;
    const int neutral = 1 << 16;
    swscale.setColorspaceDetails(context, swscale.getCoefficients(playerMatrix(resolution)), limitedRange,
                                 swscale.getCoefficients(SWS_CS_DEFAULT), fullRange, 0, neutral, neutral);
    return context;
}

QImage frameImage(const QByteArray &planes, const Resolution &resolution, const QSize &size)
{
    const SwscaleLibrary *swscale = SwscaleLibrary::get();
    if (!swscale || planes.size() < resolution.frameBytes() || size.isEmpty())
        return QImage();
    const std::unique_ptr<SwsContext, decltype(&sws_freeContext)> context(converterTo(*swscale, size, resolution),
                                                                          swscale->freeContext);
    if (!context)
        return QImage();
    // AV_PIX_FMT_RGB32 is QImage's RGB32 word: 0xffRRGGBB in the machine's byte order.
    QImage image(size, QImage::Format_RGB32);
    const int chromaWidth = resolution.width / 2;
    const auto *luma = reinterpret_cast<const uint8_t *>(planes.constData());
    const uint8_t *u = luma + qint64(resolution.width) * resolution.height;
    const uint8_t *v = u + qint64(chromaWidth) * (resolution.height / 2);
    const uint8_t *const source[] = {luma, u, v, nullptr};
    const int sourceStrides[] = {resolution.width, chromaWidth, chromaWidth, 0};
    uint8_t *const target[] = {image.bits(), nullptr, nullptr, nullptr};
    const int targetStrides[] = {int(image.bytesPerLine()), 0, 0, 0};
    swscale->scale(context.get(), source, sourceStrides, 0, resolution.height, target, targetStrides);
    return image;
}

QImage lumaDifferenceImage(const QByteArray &source, const QByteArray &decoded, const Resolution &resolution,
                           int gain)
{
    const qint64 frameBytes = resolution.frameBytes();
    if (frameBytes <= 0 || source.size() < frameBytes || decoded.size() < frameBytes)
        return QImage();
    QImage image(resolution.width, resolution.height, QImage::Format_Grayscale8);
    const auto *a = reinterpret_cast<const uchar *>(source.constData());
    const auto *b = reinterpret_cast<const uchar *>(decoded.constData());
    for (int y = 0; y < resolution.height; ++y) {
        uchar *line = image.scanLine(y);
        for (int x = 0; x < resolution.width; ++x, ++a, ++b)
            line[x] = uchar(qMin(255, std::abs(int(*a) - int(*b)) * gain));
    }
    return image;
}
