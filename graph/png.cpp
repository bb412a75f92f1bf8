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
bool EncodeInto(const TBitmap& bitmap, png_text* text, int textCount, TPngSink* sink) {
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
    if (textCount > 0) {
        png_set_text(png, info, text, textCount);
    }
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

bool IsAscii(const std::string& text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

// A keyword PNG allows: 1 to 79 characters of printable Latin-1, no leading,
// trailing or double space.
bool IsKeyword(const std::string& key) {
    if (key.empty() || key.size() > 79 || key.front() == ' ' || key.back() == ' ' ||
        key.find("  ") != std::string::npos) {
        return false;
    }
    for (char c : key) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u > 0x7E) {
            return false;
        }
    }
    return true;
}

} // namespace

std::string EncodePng(const TBitmap& bitmap, const TPngText& text) {
    // PNG has no empty images.
    if (bitmap.Width() <= 0 || bitmap.Height() <= 0) {
        return std::string();
    }
    // libpng takes the entries as mutable C strings; it only reads them.
    std::vector<png_text> entries(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto& [key, value] = text[i];
        if (!IsKeyword(key)) {
            return std::string();
        }
        png_text& entry = entries[i];
        entry = png_text{};
        entry.compression = IsAscii(value) ? PNG_TEXT_COMPRESSION_NONE : PNG_ITXT_COMPRESSION_NONE;
        entry.key = const_cast<char*>(key.c_str());
        entry.text = const_cast<char*>(value.c_str());
        if (entry.compression == PNG_TEXT_COMPRESSION_NONE) {
            entry.text_length = value.size();
        } else {
            entry.itxt_length = value.size();
        }
    }
    std::string bytes;
    TPngSink sink{&bytes, false};
    if (!EncodeInto(bitmap, entries.data(), static_cast<int>(entries.size()), &sink)) {
        return std::string();
    }
    return bytes;
}

bool SavePng(const TBitmap& bitmap, const std::string& fileName, std::string* error,
             const TPngText& text) {
    std::string bytes = EncodePng(bitmap, text);
    if (bytes.empty()) {
        if (error) {
            *error = "the image could not be encoded as PNG";
        }
        return false;
    }
    return WriteFileAtomically(fileName, bytes, error);
}
