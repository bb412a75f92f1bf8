#include "graph/png.h"

#include <cerrno>
#include <cstdint>
#include <gtest/gtest.h>
#include <png.h>
#include <random>
#include <string>
#include <vector>

#include "base/safefile.h"
#include "graph/canvas.h"
#include "graph/xygraph.h"
#include "tests/support/testsupport.h"

namespace {

// Decodes through libpng's simplified reader, a path independent of the
// encoder's, into RGB rows; false when the bytes are not a PNG.
bool DecodeRgb(const std::string& bytes, int& width, int& height, std::vector<uint8_t>& rgb) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) {
        return false;
    }
    image.format = PNG_FORMAT_RGB;
    rgb.assign(PNG_IMAGE_SIZE(image), 0);
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    width = static_cast<int>(image.width);
    height = static_cast<int>(image.height);
    return true;
}

TBitmap RandomBitmap(int width, int height, uint32_t seed) {
    TBitmap bitmap(width, height);
    std::mt19937 random(seed);
    for (uint8_t& byte : bitmap.Rgb()) {
        byte = static_cast<uint8_t>(random());
    }
    return bitmap;
}

uint32_t BigEndian32(const std::string& bytes, std::size_t at) {
    return static_cast<uint32_t>(static_cast<uint8_t>(bytes[at])) << 24 |
           static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 1])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 2])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 3]));
}

TEST(EncodePng, WritesEightBitRgbWithoutAlphaOrInterlace) {
    std::string bytes = EncodePng(RandomBitmap(37, 23, 1));
    ASSERT_GT(bytes.size(), 33u);
    EXPECT_EQ(bytes.substr(0, 8), "\x89PNG\r\n\x1a\n");
    EXPECT_EQ(bytes.substr(12, 4), "IHDR");
    EXPECT_EQ(BigEndian32(bytes, 16), 37u);
    EXPECT_EQ(BigEndian32(bytes, 20), 23u);
    EXPECT_EQ(bytes[24], 8) << "bit depth";
    EXPECT_EQ(bytes[25], 2) << "colour type RGB";
    EXPECT_EQ(bytes[28], 0) << "not interlaced";
    EXPECT_EQ(bytes.substr(bytes.size() - 8, 4), "IEND");
}

struct TSizeCase {
    int width;
    int height;
};

class EncodePngRoundTrip : public testing::TestWithParam<TSizeCase> {};

TEST_P(EncodePngRoundTrip, DecodesToTheSamePixels) {
    TBitmap bitmap = RandomBitmap(GetParam().width, GetParam().height, 7);
    std::string bytes = EncodePng(bitmap);
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    ASSERT_TRUE(DecodeRgb(bytes, width, height, rgb));
    EXPECT_EQ(width, bitmap.Width());
    EXPECT_EQ(height, bitmap.Height());
    EXPECT_EQ(rgb, bitmap.Rgb());
}

INSTANTIATE_TEST_SUITE_P(Sizes, EncodePngRoundTrip,
                         testing::Values(TSizeCase{1, 1}, TSizeCase{37, 23}, TSizeCase{434, 680},
                                         TSizeCase{1000, 2}),
                         [](const testing::TestParamInfo<TSizeCase>& info) {
                             return std::to_string(info.param.width) + "x" +
                                    std::to_string(info.param.height);
                         });

TEST(EncodePng, EqualBitmapsGiveEqualBytes) {
    EXPECT_EQ(EncodePng(RandomBitmap(50, 40, 3)), EncodePng(RandomBitmap(50, 40, 3)));
    EXPECT_NE(EncodePng(RandomBitmap(50, 40, 3)), EncodePng(RandomBitmap(50, 40, 4)));
}

// Text entries go before the image data, ASCII ones as tEXt and others as
// iTXt, and leave the image data as it is.
struct TTextCase {
    const char* name;
    TPngText text;
    std::vector<std::string> types;
};

class EncodePngText : public testing::TestWithParam<TTextCase> {};

TEST_P(EncodePngText, WritesTheEntriesAndTheSamePixels) {
    const TBitmap bitmap = RandomBitmap(31, 17, 5);
    const std::string plain = EncodePng(bitmap);
    const std::string bytes = EncodePng(bitmap, GetParam().text);
    ASSERT_FALSE(bytes.empty());
    std::vector<std::string> types;
    std::string plainData, data;
    for (const auto& [type, chunk] : PngChunks(bytes)) {
        if (type == "tEXt" || type == "iTXt") {
            types.push_back(type);
        }
        if (type == "IDAT") {
            data += chunk;
            EXPECT_EQ(types.size(), GetParam().types.size()) << "text after the image data";
        }
    }
    for (const auto& [type, chunk] : PngChunks(plain)) {
        if (type == "IDAT") {
            plainData += chunk;
        }
    }
    EXPECT_EQ(types, GetParam().types);
    EXPECT_EQ(data, plainData);
    EXPECT_EQ(PngTextEntries(bytes), GetParam().text);
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    ASSERT_TRUE(DecodeRgb(bytes, width, height, rgb));
    EXPECT_EQ(rgb, bitmap.Rgb());
}

INSTANTIATE_TEST_SUITE_P(
    Entries, EncodePngText,
    testing::Values(
        TTextCase{"None", {}, {}},
        TTextCase{
            "Ascii", {{"Software", "Zittermark 1.16"}, {"Lambda", "1.234"}}, {"tEXt", "tEXt"}},
        TTextCase{"Utf8", {{"Source", "曲.wav"}, {"Sampling", "frequency"}}, {"iTXt", "tEXt"}},
        TTextCase{"EmptyValue", {{"Lambda", ""}}, {"tEXt"}},
        TTextCase{"LongestKey", {{std::string(79, 'k'), "v"}}, {"tEXt"}}),
    [](const testing::TestParamInfo<TTextCase>& info) { return std::string(info.param.name); });

// A keyword PNG cannot hold gives no image rather than a broken file.
TEST(EncodePng, RefusesKeywordsPngCannotHold) {
    const TBitmap bitmap = RandomBitmap(4, 4, 2);
    for (const std::string& key :
         {std::string(), std::string(80, 'k'), std::string(" lead"), std::string("trail "),
          std::string("two  spaces"), std::string("曲"), std::string("tab\tkey")}) {
        EXPECT_TRUE(EncodePng(bitmap, {{key, "v"}}).empty()) << key;
    }
}

TEST(EncodePng, EmptyBitmapHasNoImage) {
    EXPECT_TRUE(EncodePng(TBitmap(0, 10)).empty());
    TTempDir dir;
    EXPECT_FALSE(SavePng(TBitmap(10, 0), dir.File("empty.png")));
    EXPECT_FALSE(FileExists(dir.File("empty.png")));
}

TEST(SaveAsPng, ReplacesAnExistingFile) {
    TTempDir dir;
    std::string path = dir.File("graph.png");
    WriteFileBytes(path, "an older file, longer than nothing");
    TXYGraph graph(60, 50);
    graph.Clear();
    graph.DrawFrame(1);
    ASSERT_TRUE(graph.SaveAsPng(path));
    std::string bytes = ReadFileBytes(path);
    EXPECT_EQ(bytes, EncodePng(graph.bitmap));
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    ASSERT_TRUE(DecodeRgb(bytes, width, height, rgb));
    EXPECT_EQ(rgb, graph.bitmap.Rgb());
}

TEST(SaveAsPng, FailedWriteKeepsTheExistingFileAndReportsIt) {
    TTempDir dir;
    std::string path = dir.File("graph.png");
    WriteFileBytes(path, "precious");
    TXYGraph graph(60, 50);
    graph.Clear();
    SetWriteHook([](int, const void*, std::size_t) -> ssize_t {
        errno = ENOSPC;
        return -1;
    });
    bool saved = graph.SaveAsPng(path);
    SetWriteHook(nullptr);
    EXPECT_FALSE(saved);
    EXPECT_EQ(ReadFileBytes(path), "precious");
}

TEST(SaveAsPng, MissingFolderFails) {
    TTempDir dir;
    TXYGraph graph(20, 20);
    graph.Clear();
    EXPECT_FALSE(graph.SaveAsPng(dir.File("no/such/folder/graph.png")));
}

} // namespace
