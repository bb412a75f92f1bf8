// The chain of MPEG frame headers in MP3 files made by libsndfile, whole,
// tagged, damaged and cut.
#include "engine/mpegframes.h"

#include <gtest/gtest.h>
#include <sstream>

#include "examples/signals.h"
#include "examples/soundwriter.h"
#include "tests/support/testsupport.h"

namespace {

// Two seconds of a tone as MP3 at 44.1 kHz, mono.
const std::string& Mp3Bytes() {
    static const std::string bytes = [] {
        TTempDir dir;
        const std::string path = dir.File("tone.mp3");
        const std::vector<int32_t> audio =
            ToPcm16(FluctuatingTone(2.0, 44100, 440.0, 1.0, 20.0, 1));
        EXPECT_EQ(WriteSound16(path, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 44100, 1, audio),
                  "");
        return ReadFileBytes(path);
    }();
    return bytes;
}

TMpegWalk Walk(const std::string& bytes) {
    std::istringstream in(bytes);
    in.seekg(3);
    const TMpegWalk walk = WalkMpegFrames(in, static_cast<int64_t>(bytes.size()));
    EXPECT_EQ(in.tellg(), 3) << "the stream's position is kept";
    return walk;
}

// The first byte the walk finds broken after garbage written from the middle
// of the file on: a frame start.
uint64_t GarbageBreak() {
    std::string bytes = Mp3Bytes();
    const std::size_t middle = bytes.size() / 2;
    bytes.replace(middle, 3000, std::string(3000, '\x5A'));
    return Walk(bytes).breakOffset;
}

} // namespace

TEST(MpegFrames, AWholeFileChainsToItsEnd) {
    const TMpegWalk walk = Walk(Mp3Bytes());
    EXPECT_TRUE(walk.mpeg);
    EXPECT_FALSE(walk.broken);
    // 2 s of 1152-frame blocks, and the leading information frame.
    EXPECT_GE(walk.frames, 77u);
    EXPECT_EQ(MpegDamage(walk, 1000), "");
}

struct TDamageCase {
    const char* name;
    std::string (*change)(std::string bytes);
    bool mpeg;
    bool broken;
    bool cutOff;
};

class MpegDamageCase : public ::testing::TestWithParam<TDamageCase> {};

TEST_P(MpegDamageCase, IsFoundWhereTheChainBreaks) {
    const TDamageCase& c = GetParam();
    const std::string bytes = c.change(Mp3Bytes());
    const TMpegWalk walk = Walk(bytes);
    const TMpegWalk whole = Walk(Mp3Bytes());
    EXPECT_EQ(walk.mpeg, c.mpeg);
    EXPECT_EQ(walk.broken, c.broken);
    EXPECT_EQ(walk.cutOff, c.cutOff);
    if (!c.broken) {
        EXPECT_EQ(walk.frames, c.mpeg ? whole.frames : 0u);
        EXPECT_EQ(MpegDamage(walk, static_cast<int64_t>(bytes.size())), "");
        return;
    }
    // The garbage and the cut both lie in the middle; the break is the frame
    // start at or just before them.
    const uint64_t middle = Mp3Bytes().size() / 2;
    EXPECT_GE(walk.breakOffset + 1100, middle);
    EXPECT_LE(walk.breakOffset, middle + 1100);
    EXPECT_LT(walk.frames, whole.frames);
    EXPECT_EQ(walk.breakOffset, GarbageBreak());
}

INSTANTIATE_TEST_SUITE_P(
    Files, MpegDamageCase,
    ::testing::Values(TDamageCase{"Id3v2AndId3v1Tags",
                                  [](std::string b) {
                                      // A 100-byte ID3v2 tag before, a 128-byte ID3v1 tag after.
                                      std::string tag =
                                          std::string("ID3\x03\x00\x00\x00\x00\x00", 9) + 'Z';
                                      tag += std::string(90, '\0');
                                      return tag + b + "TAG" + std::string(125, ' ');
                                  },
                                  true, false, false},
                      TDamageCase{"GarbageInTheMiddle",
                                  [](std::string b) {
                                      b.replace(b.size() / 2, 3000, std::string(3000, '\x5A'));
                                      return b;
                                  },
                                  true, true, false},
                      TDamageCase{"CutInsideAFrame",
                                  [](std::string b) {
                                      b.resize(GarbageBreak() + 100);
                                      return b;
                                  },
                                  true, true, true},
                      TDamageCase{"NoMpegAtAll",
                                  [](std::string b) { return std::string(5000, '\x5A') + b; },
                                  false, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MpegFrames, TheDamageSaysWhatAndWhere) {
    TMpegWalk walk;
    walk.mpeg = true;
    walk.broken = true;
    walk.frames = 9189;
    walk.breakOffset = 4800783;
    EXPECT_EQ(MpegDamage(walk, 12001175),
              "damaged MPEG audio: byte 4800783 of 12001175 holds no frame header, after 9189 "
              "frames");
    walk.cutOff = true;
    walk.frames = 1;
    EXPECT_EQ(MpegDamage(walk, 4800800),
              "MPEG audio cut off: the frame at byte 4800783 of 4800800 runs past the end, after "
              "1 frame");
}
