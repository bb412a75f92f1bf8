#include "graph/png.h"

#include <csetjmp>
#include <new>
#include <png.h>

#include "base/safefile.h"
#include "graph/bitmap.h"

namespace {

// libpng reports errors by longjmp out of its own frames. Nothing with a
// destructor may be alive between the setjmp and those frames, so the output
// and the failure flag live in a plain record owned by the caller.
struct TPngSink {
    std::string* bytes;
    bool failed;
};

void SilentError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void SilentWarning(png_structp, png_const_charp) {}

void AppendToSink(png_structp png, png_bytep data, png_size_t length) {
    auto* sink = static_cast<TPngSink*>(png_get_io_ptr(png));
    try {
        sink->bytes->append(reinterpret_cast<const char*>(data), length);
    } catch (const std::bad_alloc&) {
        sink->failed = true;
    }
    if (sink->failed) {
        png_error(png, "out of memory");
    }
}

void NoFlush(png_structp) {}

// Encodes into sink->bytes; false on any libpng error. Kept free of C++
// objects so the longjmp skips no destructor.
bool EncodeInto(const TBitmap& bitmap, TPngSink* sink) {
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, SilentError, SilentWarning);
    if (!png) {
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, sink, AppendToSink, NoFlush);
    // Fixed settings, so equal bitmaps always give equal bytes. The graphs
    // are large flat areas with thin lines: the Sub filter and the default
    // zlib level keep them small without the cost of adaptive filtering.
    png_set_compression_level(png, 6);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    png_set_IHDR(png, info, static_cast<png_uint_32>(bitmap.Width()),
                 static_cast<png_uint_32>(bitmap.Height()), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    png_write_info(png, info);
    const png_byte* row = bitmap.Rgb().data();
    const png_size_t stride = static_cast<png_size_t>(bitmap.Width()) * 3;
    for (int y = 0; y < bitmap.Height(); ++y) {
        png_write_row(png, row + static_cast<png_size_t>(y) * stride);
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return !sink->failed;
}

} // namespace

std::string EncodePng(const TBitmap& bitmap) {
    // PNG has no empty images.
    if (bitmap.Width() <= 0 || bitmap.Height() <= 0) {
        return std::string();
    }
    std::string bytes;
    TPngSink sink{&bytes, false};
    if (!EncodeInto(bitmap, &sink)) {
        return std::string();
    }
    return bytes;
}

bool SavePng(const TBitmap& bitmap, const std::string& fileName, std::string* error) {
    std::string bytes = EncodePng(bitmap);
    if (bytes.empty()) {
        if (error) {
            *error = "the image could not be encoded as PNG";
        }
        return false;
    }
    return WriteFileAtomically(fileName, bytes, error);
}
