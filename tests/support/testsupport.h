#pragma once
// Helpers shared by the tests and the benchmarks: temporary folders,
// whole-file reads and writes, and test series.

#include <cstdint>
#include <string>
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

// A level around 440 that wanders as a random walk plus white noise,
// deterministic for a seed.
std::vector<double> Wandering(int count, unsigned seed);
