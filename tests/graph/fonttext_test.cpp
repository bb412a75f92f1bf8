#include "graph/fonttext.h"

#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

#include "graph/canvas.h"

namespace {

const std::string kGothic = "ＭＳ Ｐゴシック";

void Fill(TBitmap& bitmap, TColor color) {
    for (int y = 0; y < bitmap.Height(); ++y) {
        for (int x = 0; x < bitmap.Width(); ++x) {
            bitmap.SetPixel(x, y, color);
        }
    }
}

TBitmap Drawn(const std::string& text, int height, TColor background, TColor ink, int x = 3,
              int y = 2) {
    TBitmap bitmap(120, 40);
    Fill(bitmap, background);
    TCanvas canvas(bitmap);
    canvas.SetFont(kGothic, ink, height);
    canvas.TextOut(x, y, text);
    return bitmap;
}

// The families fontconfig lists as covering Japanese.
std::vector<std::string> JapaneseFamilies() {
    std::vector<std::string> families;
    FcConfig* config = FcInitLoadConfigAndFonts();
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(":lang=ja"));
    FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
    FcFontSet* fonts = FcFontList(config, pattern, objects);
    for (int i = 0; fonts && i < fonts->nfont; ++i) {
        FcChar8* family = nullptr;
        for (int j = 0; FcPatternGetString(fonts->fonts[i], FC_FAMILY, j, &family) == FcResultMatch;
             ++j) {
            families.emplace_back(reinterpret_cast<const char*>(family));
        }
    }
    if (fonts) {
        FcFontSetDestroy(fonts);
    }
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    FcConfigDestroy(config);
    return families;
}

class FaceLookup : public testing::TestWithParam<std::string> {};

TEST_P(FaceLookup, FindsTheIpaGothic) {
    EXPECT_EQ(FontFaceFamily(FindFontFace(GetParam())), "IPAPGothic");
}

INSTANTIATE_TEST_SUITE_P(Names, FaceLookup, testing::Values(kGothic, "MS PGothic", "IPAPGothic"),
                         [](const testing::TestParamInfo<std::string>& info) {
                             return std::to_string(info.index);
                         });

TEST(FindFontFace, UnknownNameFallsBackToAJapaneseFace) {
    const TFontFace* face = FindFontFace("No Such Face Anywhere 7319");
    ASSERT_NE(face, nullptr);
    std::vector<std::string> japanese = JapaneseFamilies();
    EXPECT_NE(std::find(japanese.begin(), japanese.end(), FontFaceFamily(face)), japanese.end())
        << FontFaceFamily(face);
    EXPECT_EQ(FindFontFace("No Such Face Anywhere 7319"), face) << "the same name, the same face";
}

TEST(FontMetrics, CellHeightIsTheFontHeight) {
    TBitmap bitmap(4, 4);
    TCanvas canvas(bitmap);
    canvas.SetFont(kGothic, 0, 12);
    EXPECT_EQ(canvas.TextHeight("10^-3"), 12);
    canvas.SetFont(kGothic, 0, 16);
    EXPECT_EQ(canvas.TextHeight(""), 16);
    canvas.SetFont(kGothic, 0, 0);
    EXPECT_EQ(canvas.TextHeight("1"), 0);
    // IPAPGothic: winAscent 1802, winDescent 401, so the baseline lies
    // 12 * 1802 / 2203 = 9.8 -> 10 and 16 * 1802 / 2203 = 13.09 -> 13 below
    // the top of the cell.
    EXPECT_EQ(FontAscent(FindFontFace(kGothic), 12), 10);
    EXPECT_EQ(FontAscent(FindFontFace(kGothic), 16), 13);
}

TEST(FontMetrics, WidthIsTheSumOfAdvances) {
    TBitmap bitmap(4, 4);
    TCanvas canvas(bitmap);
    canvas.SetFont(kGothic, 0, 12);
    int whole = canvas.TextWidth("10^-3Hz");
    int sum = 0;
    for (const char* part : {"1", "0", "^", "-", "3", "H", "z"}) {
        int w = canvas.TextWidth(part);
        EXPECT_GT(w, 0) << part;
        sum += w;
    }
    EXPECT_EQ(whole, sum);
    EXPECT_EQ(canvas.TextWidth(""), 0);
    // A proportional face: "1" is narrower than "H".
    EXPECT_LT(canvas.TextWidth("1"), canvas.TextWidth("H"));
}

TEST(TextOut, PiecesPlacedByTheirWidthsEqualTheWholeText) {
    TBitmap whole = Drawn("10^2Hz", 12, 0xFFFFFF, 0x000000);
    TBitmap pieces(120, 40);
    Fill(pieces, 0xFFFFFF);
    TCanvas canvas(pieces);
    canvas.SetFont(kGothic, 0x000000, 12);
    int x = 3;
    for (const char* piece : {"10^", "2", "Hz"}) {
        canvas.TextOut(x, 2, piece);
        x += canvas.TextWidth(piece);
    }
    EXPECT_EQ(whole.Rgb(), pieces.Rgb());
}

TEST(TextOut, InkStaysInsideTheCell) {
    TBitmap bitmap = Drawn("10^-3", 12, 0xFFFFFF, 0x000000, 10, 5);
    TBitmap probe(4, 4);
    TCanvas canvas(probe);
    canvas.SetFont(kGothic, 0, 12);
    int width = canvas.TextWidth("10^-3");
    int inked = 0;
    for (int y = 0; y < bitmap.Height(); ++y) {
        for (int x = 0; x < bitmap.Width(); ++x) {
            if (bitmap.Pixel(x, y) != 0xFFFFFF) {
                ++inked;
                EXPECT_GE(y, 5);
                EXPECT_LT(y, 5 + 12);
                EXPECT_GE(x, 10);
                EXPECT_LT(x, 10 + width);
            }
        }
    }
    EXPECT_GT(inked, 20);
}

TEST(TextOut, IsDeterministic) {
    TBitmap first = Drawn("λ = 1.234", 16, 0xFFFFFF, 0x000000);
    TBitmap second = Drawn("λ = 1.234", 16, 0xFFFFFF, 0x000000);
    EXPECT_EQ(first.Rgb(), second.Rgb());
}

TEST(TextOut, BlendsCoverageOverATransparentBackground) {
    // Coverage c gives c on black in white ink and 255 - c on white in black
    // ink; in red ink on green the red channel is c and the green 255 - c.
    TBitmap onBlack = Drawn("10^-3Hz", 12, 0x000000, 0xFFFFFF);
    TBitmap onWhite = Drawn("10^-3Hz", 12, 0xFFFFFF, 0x000000);
    TBitmap redOnGreen = Drawn("10^-3Hz", 12, 0x00FF00, 0x0000FF);
    int partial = 0, full = 0;
    for (int y = 0; y < onBlack.Height(); ++y) {
        for (int x = 0; x < onBlack.Width(); ++x) {
            TColor c = onBlack.Pixel(x, y) & 0xFF;
            ASSERT_EQ(onBlack.Pixel(x, y), c * 0x010101u);
            ASSERT_EQ(onWhite.Pixel(x, y), (255 - c) * 0x010101u);
            ASSERT_EQ(redOnGreen.Pixel(x, y), c | (255 - c) << 8);
            partial += c > 0 && c < 255;
            full += c == 255;
        }
    }
    EXPECT_GT(partial, 0) << "anti-aliased";
    EXPECT_GT(full, 0);
}

TEST(TextOut, KeepsToTheClip) {
    TBitmap whole = Drawn("10^2Hz", 12, 0xFFFFFF, 0x000000);
    TBitmap clipped(120, 40);
    Fill(clipped, 0xFFFFFF);
    TCanvas canvas(clipped);
    canvas.SetClip(8, 6, 20, 30);
    canvas.SetFont(kGothic, 0x000000, 12);
    canvas.TextOut(3, 2, "10^2Hz");
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 120; ++x) {
            bool inside = x >= 8 && x < 20 && y >= 6 && y < 30;
            ASSERT_EQ(clipped.Pixel(x, y), inside ? whole.Pixel(x, y) : 0xFFFFFFu) << x << "," << y;
        }
    }
}

TEST(TextOut, OffTheBitmapAndOddInputsDrawNothingHarmful) {
    TBitmap blank(120, 40);
    Fill(blank, 0xFFFFFF);
    for (int height : {0, -12, kMaxFontHeight + 1}) {
        EXPECT_EQ(Drawn("10", height, 0xFFFFFF, 0).Rgb(), blank.Rgb()) << height;
    }
    EXPECT_EQ(Drawn("10", 12, 0xFFFFFF, 0, -1000, 5).Rgb(), blank.Rgb());
    EXPECT_EQ(Drawn("10", 12, 0xFFFFFF, 0, 2147483647, -2147483647 - 1).Rgb(), blank.Rgb());
    // Malformed UTF-8 reads as one replacement character per bad byte.
    const TFontFace* face = FindFontFace(kGothic);
    EXPECT_EQ(FontTextWidth(face, 12, "\xff\xc3"), 2 * FontTextWidth(face, 12, "\xEF\xBF\xBD"));
    EXPECT_EQ(FontTextWidth(face, 12, "\xE3\x81"), 2 * FontTextWidth(face, 12, "\xEF\xBF\xBD"));
    // Without a face nothing is measured or drawn.
    TBitmap bitmap = blank;
    FontTextOut(bitmap, {0, 0, 120, 40}, nullptr, 12, 0, 3, 2, "10");
    EXPECT_EQ(bitmap.Rgb(), blank.Rgb());
    EXPECT_EQ(FontTextWidth(nullptr, 12, "10"), 0);
}

TEST(TextOut, ThreadsDrawingAtOnceGetTheSamePixels) {
    // Heights no other test uses, so the threads render the glyphs into the
    // shared cache concurrently.
    const std::vector<std::string> texts{"10^-3", "0.25", "λ = 0.987", "周波数Hz"};
    auto drawAll = [&](int height) {
        std::vector<std::vector<uint8_t>> images;
        for (const std::string& text : texts) {
            images.push_back(Drawn(text, height, 0xFFFFFF, 0x202020).Rgb());
        }
        return images;
    };
    std::vector<std::vector<std::vector<uint8_t>>> results(8);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] { results[t] = drawAll(20 + t % 4); });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (int t = 0; t < 8; ++t) {
        EXPECT_EQ(results[t], drawAll(20 + t % 4)) << "thread " << t;
    }
}

} // namespace

// A face that lacks a character borrows it from a face that has it: the
// Latin-only face draws Japanese with the advances of a Japanese face (the
// one fontconfig likes best for the character), never a box.
TEST(FontFallback, CharactersAFaceLacksComeFromAFaceThatHasThem) {
    const TFontFace* latin = FindFontFace("DejaVu Sans");
    const TFontFace* gothic = FindFontFace("IPAGothic");
    const TFontFace* pgothic = FindFontFace("IPAPGothic");
    if (FontFaceFamily(latin) != "DejaVu Sans" || FontFaceFamily(gothic) != "IPAGothic" ||
        FontFaceFamily(pgothic) != "IPAPGothic") {
        GTEST_SKIP() << "needs DejaVu Sans, IPAGothic and IPAPGothic";
    }
    for (const char* text : {"あ", "周波数", "パワー"}) {
        for (int height : {11, 16, 40}) {
            const int64_t width = FontTextWidth(latin, height, text);
            EXPECT_TRUE(width == FontTextWidth(gothic, height, text) ||
                        width == FontTextWidth(pgothic, height, text))
                << text << " " << height << ": " << width;
        }
    }
    // Latin text stays with the face that has it.
    EXPECT_NE(FontTextWidth(latin, 16, "10^-3 Hz"), FontTextWidth(gothic, 16, "10^-3 Hz"));
}
