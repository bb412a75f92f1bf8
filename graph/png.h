#pragma once
// PNG encoding of a 24-bit bitmap through libpng: 8-bit RGB, no alpha,
// non-interlaced, fixed compression settings so the same pixels always give
// the same bytes.

#include <string>
#include <utility>
#include <vector>

class TBitmap;

// Text entries written before the image data, in order: a keyword (1 to 79
// printable Latin-1 characters) and a UTF-8 value. A value of ASCII alone
// goes into a tEXt chunk, any other into an uncompressed iTXt chunk, which
// alone may hold UTF-8. The pixels do not depend on them.
using TPngText = std::vector<std::pair<std::string, std::string>>;

// The PNG file's bytes; empty on an encoder failure or a keyword PNG cannot
// hold.
std::string EncodePng(const TBitmap& bitmap, const TPngText& text = {});

// Encodes and writes through WriteFileAtomically. False on any failure.
// The reason of a failure goes to `error` when given.
bool SavePng(const TBitmap& bitmap, const std::string& fileName, std::string* error = nullptr,
             const TPngText& text = {});
