#pragma once
// Follows the chain of MPEG audio frame headers (MPEG 1, 2 and 2.5, layers I
// to III) from the start of a stream, to say where damaged MPEG data break
// off when the decoder gives no better reason than an internal error. Only
// the four-byte headers are read, never the audio in the frames.

#include <cstdint>
#include <istream>
#include <string>

struct TMpegWalk {
    // The data (after an ID3v2 tag) begin with an MPEG audio frame header.
    bool mpeg = false;
    // Frames followed, each header leading to the next.
    uint64_t frames = 0;
    // The byte where the chain breaks: no header of the first frame's kind
    // there, or a frame that runs past the end of the data. 0 when the
    // chain runs to the end of the data or to a trailing tag (ID3v1, APE),
    // or cannot be followed (free-format bit rate).
    uint64_t breakOffset = 0;
    bool broken = false;
    bool cutOff = false; // the break is a last frame that runs past the end
};

// Walks the headers of `in`, of `size` bytes, from its start; the stream's
// position is left where it was.
TMpegWalk WalkMpegFrames(std::istream& in, int64_t size);

// The break, for a reason: "damaged MPEG audio: byte 4800783 of 12001175
// holds no frame header, after 9196 frames"; "" when the chain is whole or
// the data are no MPEG audio.
std::string MpegDamage(const TMpegWalk& walk, int64_t size);
