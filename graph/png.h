#pragma once
// PNG encoding of a 24-bit bitmap through libpng: 8-bit RGB, no alpha,
// non-interlaced, fixed compression settings so the same pixels always give
// the same bytes.

#include <string>

class TBitmap;

// The PNG file's bytes; empty on an encoder failure.
std::string EncodePng(const TBitmap& bitmap);

// Encodes and writes through WriteFileAtomically. False on any failure.
// The reason of a failure goes to `error` when given.
bool SavePng(const TBitmap& bitmap, const std::string& fileName, std::string* error = nullptr);
