// A raster in memory: a QImage that also remembers the pixel format the system reasons
// about (bits per pixel of the raster it came from). Callers branch on that format — a
// one-bit raster is reduced by refinement and can be shown in black and white — so it must
// survive even where Qt stores the pixels in a wider format.
#pragma once
#include <QImage>

#include <functional>
#include <memory>

// Bits per pixel as the rest of the system sees them.
enum PixelFormat {
    pf1bit = 1,
    pf4bit = 4,
    pf8bit = 8,
    pf15bit = 15,
    pf16bit = 16,
    pf24bit = 24,
    pf32bit = 32,
};

// How each pixel format is held, so that QPainter can always draw on the image:
//   pf1bit            QImage::Format_Mono, bits and two-entry colour table exactly as loaded
//   pf4bit, pf8bit    Format_Grayscale8 for grey rasters, Format_RGB32 for colour palettes
//   pf15bit           Format_RGB555
//   pf16bit           Format_RGB16
//   pf24bit, pf32bit  Format_RGB32 (opaque; transparency is laid over white when loaded).
//                     Qt decodes colour into it, so a colour sheet is held once, not twice
//                     while it is repacked, and draws without conversion.
class Bitmap {
public:
    // An empty bitmap (0 x 0) of 32 bits per pixel.
    Bitmap() = default;
    // A white bitmap of the given size and format; empty when the size is not positive or
    // the memory cannot be had.
    Bitmap(int width, int height, PixelFormat format);
    // Takes `image` as the pixels of a raster of `format`, converting the storage where it
    // does not match the table above.
    Bitmap(QImage image, PixelFormat format);

    // A bitmap of `width` x `height` in `format` whose pixels `make` produces when they are
    // first read through image(), on the thread that reads them; its size and format are known
    // before. A reduction that the view may never show costs nothing until it is shown.
    // `make` gives an empty bitmap when it fails: this one is then empty from that read on.
    static Bitmap deferred(int width, int height, PixelFormat format, std::function<Bitmap()> make);

    Bitmap(const Bitmap&) = default; // shares the pixels until one side writes
    Bitmap& operator=(const Bitmap&) = default;
    Bitmap(Bitmap&&) noexcept = default;
    Bitmap& operator=(Bitmap&&) noexcept = default;

    int width() const { return pending_ ? pending_->width : image_.width(); }
    int height() const { return pending_ ? pending_->height : image_.height(); }
    bool isEmpty() const { return !pending_ && image_.isNull(); }
    // True while the pixels of a deferred bitmap have not been made.
    bool isDeferred() const { return pending_ != nullptr; }
    // The pixels' cache key (QImage::cacheKey), or for a deferred bitmap one of its own, so
    // that asking for it does not make the pixels. Making them keeps that key until the
    // pixels are written: what was drawn of the bitmap before its pixels were made stays
    // valid for whoever keeps the picture.
    qint64 cacheKey() const;
    PixelFormat pixelFormat() const { return format_; }
    bool isOneBit() const { return format_ == pf1bit; }

    // Converts the pixels to another format. To one bit: luminance (see lumaOf) at or above
    // 128 gives white, the rest black, colour table {black, white}; to eight bits: the grey
    // of each pixel. A one-bit bitmap keeps its bits when set to one bit again.
    void setPixelFormat(PixelFormat format);
    // New size; the old pixels stay at the top left, new area is white.
    void setSize(int width, int height);
    void setWidth(int width) { setSize(width, height()); }
    void setHeight(int height) { setSize(width(), height); }

    // The pixels, for drawing (Canvas) and reading. Keep the QImage's format as it is.
    QImage& image()
    {
        resolve();
        return image_;
    }
    const QImage& image() const
    {
        resolve();
        return image_;
    }

    // Luminance 0..255 of a colour: (299 R + 587 G + 114 B + 500) / 1000 (ITU-R BT.601).
    static int lumaOf(QRgb rgb);
    // The Qt storage used for a pixel format with grey or colour content.
    static QImage::Format storageFor(PixelFormat format, bool grey);

private:
    struct Pending {
        int width = 0, height = 0;
        std::function<Bitmap()> make;
        qint64 key = 0;
    };
    // Makes the pixels of a deferred bitmap; nothing for any other.
    void resolve() const
    {
        if (pending_)
            make();
    }
    void make() const;

    // Mutable so that the first read of a deferred bitmap, a const one too, can make it.
    mutable QImage image_;
    mutable PixelFormat format_ = pf32bit;
    mutable std::shared_ptr<const Pending> pending_;
    // A made deferred bitmap: its own key, while the image's key is still the one it was made
    // with.
    mutable qint64 madeKey_ = 0;
    mutable qint64 madeImageKey_ = 0;
};
