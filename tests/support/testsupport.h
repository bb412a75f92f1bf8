#pragma once
// Helpers shared by the tests and the benchmarks: temporary folders,
// whole-file reads and writes, and test series.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// A fresh folder under $TMPDIR (or /tmp), removed with its contents.
class TTempDir {
public:
    TTempDir();
    ~TTempDir();
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;
    const std::string& Path() const { return path; }
    // Path + "/" + name.
    std::string File(const std::string& name) const;

private:
    std::string path;
};

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

// The chunks of a PNG file after its signature, in order, as type and
// data; empty when the bytes are not a whole chunk sequence.
std::vector<std::pair<std::string, std::string>> PngChunks(const std::string& bytes);

// The text entries of a PNG: keyword and text of its tEXt and uncompressed
// iTXt chunks, in order.
std::vector<std::pair<std::string, std::string>> PngTextEntries(const std::string& bytes);

// A level around 440 that wanders as a random walk plus white noise,
// deterministic for a seed.
std::vector<double> Wandering(int count, unsigned seed);
