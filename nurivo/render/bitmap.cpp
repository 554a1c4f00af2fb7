#include "render/bitmap.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace {

bool isGreyTable(const QList<QRgb>& table)
{
    return std::all_of(table.begin(), table.end(), [](QRgb c) { return qRed(c) == qGreen(c) && qGreen(c) == qBlue(c); });
}

// Index of the lighter entry of a one-bit colour table (1 for the usual {black, white}).
int whiteIndex(const QImage& mono)
{
    const QList<QRgb> table = mono.colorTable();
    if (table.size() < 2)
        return 1;
    return Bitmap::lumaOf(table[1]) >= Bitmap::lumaOf(table[0]) ? 1 : 0;
}

void fillWhite(QImage& image)
{
    if (image.format() == QImage::Format_Mono)
        image.fill(whiteIndex(image));
    else if (image.format() == QImage::Format_Grayscale8)
        image.fill(255);
    else
        image.fill(Qt::white);
}

QImage newMono(int width, int height)
{
    QImage image(width, height, QImage::Format_Mono);
    if (!image.isNull())
        image.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    return image;
}

// Two-colour indexed pixels as one-bit pixels with the same indices and table (Qt's own
// conversion would map them through grey and could swap them).
QImage indexedToMono(const QImage& src)
{
    QImage out(src.width(), src.height(), QImage::Format_Mono);
    if (out.isNull())
        return out;
    out.setColorTable(src.colorTable());
    for (int y = 0; y < src.height(); ++y) {
        const uchar* s = src.constScanLine(y);
        uchar* d = out.scanLine(y);
        std::memset(d, 0, static_cast<size_t>(out.bytesPerLine()));
        for (int x = 0; x < src.width(); ++x)
            if (s[x] & 1)
                d[x >> 3] |= static_cast<uchar>(0x80 >> (x & 7));
    }
    return out;
}

// A colour laid over white paper as its alpha says.
QRgb overWhite(QRgb c)
{
    const int a = qAlpha(c);
    if (a == 255)
        return c;
    auto over = [a](int v) { return (v * a + 255 * (255 - a) + 127) / 255; };
    return qRgb(over(qRed(c)), over(qGreen(c)), over(qBlue(c)));
}

// `src` in `format`, opaque, with any transparency laid over white. Works in place where the
// depth allows, so a colour sheet is not held twice.
QImage toOpaque(QImage src, QImage::Format format)
{
    if (src.hasAlphaChannel()) {
        if (src.format() != QImage::Format_ARGB32)
            src.convertTo(QImage::Format_ARGB32);
        if (src.isNull())
            return QImage();
        for (int y = 0; y < src.height(); ++y) {
            QRgb* p = reinterpret_cast<QRgb*>(src.scanLine(y));
            for (int x = 0; x < src.width(); ++x)
                p[x] = overWhite(p[x]);
        }
        src.reinterpretAsFormat(QImage::Format_RGB32); // every pixel is opaque now
    }
    if (src.format() != format)
        src.convertTo(format);
    return src;
}

// Grey of every pixel, transparency laid over white; Indexed8 and Mono go through their
// colour tables.
QImage toGrey(const QImage& src)
{
    QImage out(src.width(), src.height(), QImage::Format_Grayscale8);
    if (out.isNull())
        return out;
    const int w = src.width();
    if (src.format() == QImage::Format_Mono || src.format() == QImage::Format_MonoLSB ||
        src.format() == QImage::Format_Indexed8) {
        QList<QRgb> table = src.colorTable();
        uchar lut[256];
        for (int i = 0; i < 256; ++i)
            lut[i] = i < table.size() ? static_cast<uchar>(Bitmap::lumaOf(overWhite(table[i]))) : 0;
        const bool msb = src.format() == QImage::Format_Mono;
        for (int y = 0; y < src.height(); ++y) {
            const uchar* s = src.constScanLine(y);
            uchar* d = out.scanLine(y);
            if (src.format() == QImage::Format_Indexed8) {
                for (int x = 0; x < w; ++x)
                    d[x] = lut[s[x]];
            } else {
                for (int x = 0; x < w; ++x) {
                    int bit = msb ? (s[x >> 3] >> (7 - (x & 7))) & 1 : (s[x >> 3] >> (x & 7)) & 1;
                    d[x] = lut[bit];
                }
            }
        }
        return out;
    }
    const QImage rgb = toOpaque(src, QImage::Format_RGB32); // a grey sheet's transparency too
    if (rgb.isNull())
        return QImage();
    for (int y = 0; y < rgb.height(); ++y) {
        const QRgb* s = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        uchar* d = out.scanLine(y);
        for (int x = 0; x < w; ++x)
            d[x] = static_cast<uchar>(Bitmap::lumaOf(s[x]));
    }
    return out;
}

// Threshold at 128 on luminance; colour table {black, white}.
QImage toMonoThreshold(const QImage& src)
{
    const QImage grey = src.format() == QImage::Format_Grayscale8 ? src : toGrey(src);
    if (grey.isNull())
        return QImage();
    QImage out = newMono(src.width(), src.height());
    if (out.isNull())
        return out;
    const int w = src.width();
    for (int y = 0; y < grey.height(); ++y) {
        const uchar* s = grey.constScanLine(y);
        uchar* d = out.scanLine(y);
        std::memset(d, 0, static_cast<size_t>(out.bytesPerLine()));
        for (int x = 0; x < w; ++x)
            if (s[x] >= 128)
                d[x >> 3] |= static_cast<uchar>(0x80 >> (x & 7));
    }
    return out;
}

bool isGreyImage(const QImage& image)
{
    switch (image.format()) {
    case QImage::Format_Grayscale8:
    case QImage::Format_Grayscale16:
        return true;
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
    case QImage::Format_Indexed8:
        return isGreyTable(image.colorTable());
    default:
        return image.allGray();
    }
}

} // namespace

int Bitmap::lumaOf(QRgb rgb)
{
    return (299 * qRed(rgb) + 587 * qGreen(rgb) + 114 * qBlue(rgb) + 500) / 1000;
}

QImage::Format Bitmap::storageFor(PixelFormat format, bool grey)
{
    switch (format) {
    case pf1bit:
        return QImage::Format_Mono;
    case pf4bit:
    case pf8bit:
        return grey ? QImage::Format_Grayscale8 : QImage::Format_RGB32;
    case pf15bit:
        return QImage::Format_RGB555;
    case pf16bit:
        return QImage::Format_RGB16;
    case pf24bit:
    case pf32bit:
        break;
    }
    return QImage::Format_RGB32;
}

Bitmap::Bitmap(int width, int height, PixelFormat format) : format_(format)
{
    if (width <= 0 || height <= 0)
        return;
    if (format == pf1bit)
        image_ = newMono(width, height);
    else
        image_ = QImage(width, height, storageFor(format, true));
    if (!image_.isNull())
        fillWhite(image_);
}

Bitmap::Bitmap(QImage image, PixelFormat format) : format_(format)
{
    if (image.isNull())
        return;
    if (format == pf1bit) {
        if (image.format() == QImage::Format_Mono)
            image_ = std::move(image);
        else if (image.format() == QImage::Format_MonoLSB)
            image_ = image.convertToFormat(QImage::Format_Mono); // a bit swap: indices and table kept
        else if (image.format() == QImage::Format_Indexed8 && image.colorCount() <= 2)
            image_ = indexedToMono(image);
        else
            image_ = toMonoThreshold(image);
        if (!image_.isNull() && image_.colorCount() < 2) {
            QList<QRgb> table = image_.colorTable();
            while (table.size() < 2)
                table.push_back(table.isEmpty() ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
            image_.setColorTable(table);
        }
        return;
    }
    // Only four- and eight-bit rasters are held by their content; a scan of the whole
    // image is not wanted for the others.
    const bool grey = (format == pf4bit || format == pf8bit) && isGreyImage(image);
    const QImage::Format want = storageFor(format, grey);
    if (image.format() == want)
        image_ = std::move(image);
    else if (want == QImage::Format_Grayscale8)
        image_ = toGrey(image);
    else
        image_ = toOpaque(std::move(image), want);
}

Bitmap Bitmap::deferred(int width, int height, PixelFormat format, std::function<Bitmap()> make)
{
    Bitmap b;
    b.format_ = format;
    if (width <= 0 || height <= 0 || !make)
        return b;
    // A key no QImage has: QImage's keys have the image's serial number in the high half,
    // which starts at 1.
    static std::atomic<qint64> nextKey{1};
    b.pending_ = std::make_shared<const Pending>(Pending{width, height, std::move(make), nextKey++});
    return b;
}

void Bitmap::make() const
{
    // Taken off first: what `make` reads of this bitmap is its plain, empty state.
    const std::shared_ptr<const Pending> pending = std::move(pending_);
    pending_.reset();
    Bitmap made = pending->make();
    if (made.isEmpty() || made.width() != pending->width || made.height() != pending->height) {
        image_ = QImage();
        return;
    }
    made.resolve();
    image_ = std::move(made.image_);
    format_ = made.format_;
    madeKey_ = pending->key;
    madeImageKey_ = image_.cacheKey();
}

qint64 Bitmap::cacheKey() const
{
    if (pending_)
        return pending_->key;
    if (madeKey_ != 0 && image_.cacheKey() == madeImageKey_)
        return madeKey_;
    return image_.cacheKey();
}

void Bitmap::setPixelFormat(PixelFormat format)
{
    resolve();
    if (format == format_)
        return;
    if (image_.isNull()) {
        format_ = format;
        return;
    }
    Bitmap converted(image_, format);
    if (converted.isEmpty())
        return; // out of memory: keep what we have
    *this = std::move(converted);
}

void Bitmap::setSize(int width, int height)
{
    resolve();
    if (width == this->width() && height == this->height())
        return;
    if (width <= 0 || height <= 0) {
        image_ = QImage();
        return;
    }
    QImage next(width, height, image_.isNull() ? storageFor(format_, true) : image_.format());
    if (next.isNull())
        return;
    if (next.format() == QImage::Format_Mono)
        next.setColorTable(image_.isNull() ? QList<QRgb>{qRgb(0, 0, 0), qRgb(255, 255, 255)} : image_.colorTable());
    fillWhite(next);
    const int rows = std::min(height, this->height());
    const int cols = std::min(width, this->width());
    if (!image_.isNull() && rows > 0 && cols > 0) {
        const int bits = next.depth();
        const size_t whole = static_cast<size_t>(cols) * static_cast<size_t>(bits) / 8;
        const int restBits = static_cast<int>(static_cast<size_t>(cols) * static_cast<size_t>(bits) % 8);
        for (int y = 0; y < rows; ++y) {
            const uchar* s = image_.constScanLine(y);
            uchar* d = next.scanLine(y);
            std::memcpy(d, s, whole);
            if (restBits) { // only one-bit rows end inside a byte
                const uchar mask = static_cast<uchar>(0xFF << (8 - restBits));
                d[whole] = static_cast<uchar>((s[whole] & mask) | (d[whole] & ~mask));
            }
        }
    }
    next.setDotsPerMeterX(image_.dotsPerMeterX());
    next.setDotsPerMeterY(image_.dotsPerMeterY());
    image_ = std::move(next);
}
