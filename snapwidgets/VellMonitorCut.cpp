#include "VellMonitorCut.h"

#include <QVector>

#include <cmath>

namespace {
// Linear interpolation by 2 puts pixel i of the source between pixels 2i and
// 2i + 1 of the enlargement:
//   e(2i) = s(i - 1) / 4 + 3 s(i) / 4,   e(2i + 1) = 3 s(i) / 4 + s(i + 1) / 4.
// Solving each neighbouring pair for s(i) and averaging both answers gives
// the four taps below. Beyond the monitor the compositor blends with
// nothing (s = 0 in premultiplied colours), so at the first and last pixel
// the outermost enlarged pixel alone gives one answer: e(0) = 3 s(0) / 4.
struct Taps
{
    int first = 0;
    int count = 0;
    float weight[4] = {};
};

Taps tapsFor(int i, int length)
{
    Taps taps;
    if (length == 1) {
        taps.first = 0;
        taps.count = 2;
        taps.weight[0] = taps.weight[1] = 2.0f / 3;
    } else if (i == 0) {
        taps.first = 1;
        taps.count = 2;
        taps.weight[0] = 1.5f;
        taps.weight[1] = -0.5f;
    } else if (i == length - 1) {
        taps.first = 2 * i - 1;
        taps.count = 2;
        taps.weight[0] = -0.5f;
        taps.weight[1] = 1.5f;
    } else {
        taps.first = 2 * i - 1;
        taps.count = 4;
        taps.weight[0] = taps.weight[3] = -0.25f;
        taps.weight[1] = taps.weight[2] = 0.75f;
    }
    return taps;
}

// The compositor's interpolation truncates; the taps' result lies below the
// true value by a little under a step.
constexpr float truncationBias = 0.875f;
} // namespace

QImage VellMonitorCut::cut(const QImage &whole, const QRect &part, const QSize &own)
{
    if (part.size() == own && whole.format() == QImage::Format_RGB32) {
        // The monitor's own pixels as they are: one copy, no conversion.
        return whole.copy(part);
    }
    const QImage source = whole.copy(part).convertToFormat(QImage::Format_ARGB32);
    if (source.size() == own) {
        return source.convertToFormat(QImage::Format_RGB32);
    }
    if (source.size() == own * 2) {
        return isDoubled(source) ? source.scaled(own).convertToFormat(QImage::Format_RGB32)
                                 : halve(source);
    }
    return source.scaled(own, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_RGB32);
}

bool VellMonitorCut::isDoubled(const QImage &enlarged)
{
    for (int y = 0; y + 1 < enlarged.height(); y += 2) {
        const QRgb *line = reinterpret_cast<const QRgb *>(enlarged.constScanLine(y));
        const QRgb *next = reinterpret_cast<const QRgb *>(enlarged.constScanLine(y + 1));
        for (int x = 0; x + 1 < enlarged.width(); x += 2) {
            if (line[x] != line[x + 1] || line[x] != next[x] || line[x] != next[x + 1]) {
                return false;
            }
        }
    }
    return true;
}

QImage VellMonitorCut::halve(const QImage &enlarged)
{
    const int width = enlarged.width() / 2;
    const int height = enlarged.height() / 2;
    // Across first, into three colour planes of every enlarged line.
    QVector<float> across(3 * width * enlarged.height());
    for (int y = 0; y < enlarged.height(); ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(enlarged.constScanLine(y));
        float *out = across.data() + 3 * width * y;
        for (int x = 0; x < width; ++x) {
            const Taps taps = tapsFor(x, width);
            float red = 0, green = 0, blue = 0;
            for (int t = 0; t < taps.count; ++t) {
                const QRgb pixel = line[taps.first + t];
                red += taps.weight[t] * qRed(pixel);
                green += taps.weight[t] * qGreen(pixel);
                blue += taps.weight[t] * qBlue(pixel);
            }
            out[3 * x] = red;
            out[3 * x + 1] = green;
            out[3 * x + 2] = blue;
        }
    }
    QImage result(width, height, QImage::Format_RGB32);
    const auto channel
        = [](float value) { return qBound(0, int(std::floor(value + truncationBias)), 255); };
    for (int y = 0; y < height; ++y) {
        const Taps taps = tapsFor(y, height);
        QRgb *line = reinterpret_cast<QRgb *>(result.scanLine(y));
        for (int x = 0; x < width; ++x) {
            float rgb[3] = {};
            for (int t = 0; t < taps.count; ++t) {
                const float *in = across.constData() + 3 * (width * (taps.first + t) + x);
                for (int c = 0; c < 3; ++c) {
                    rgb[c] += taps.weight[t] * in[c];
                }
            }
            line[x] = qRgb(channel(rgb[0]), channel(rgb[1]), channel(rgb[2]));
        }
    }
    return result;
}
