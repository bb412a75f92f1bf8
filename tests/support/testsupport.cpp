#include "tests/support/testsupport.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <unistd.h>
#include <vector>

TTempDir::TTempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/zittermark-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!::mkdtemp(buffer.data())) {
        throw std::runtime_error("cannot create a temporary folder");
    }
    path = buffer.data();
}

TTempDir::~TTempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

std::string TTempDir::File(const std::string& name) const {
    return path + "/" + name;
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

bool FileExists(const std::string& path) {
    return std::filesystem::exists(path);
}

std::vector<double> Wandering(int count, unsigned seed) {
    std::mt19937_64 g(seed);
    std::vector<double> values(count);
    double walk = 0.0;
    for (int i = 0; i < count; ++i) {
        const double u = static_cast<double>(g() >> 11) * 0x1p-53 - 0.5;
        const double v = static_cast<double>(g() >> 11) * 0x1p-53 - 0.5;
        walk += u;
        values[i] = 440.0 + walk + 0.2 * v;
    }
    return values;
}
