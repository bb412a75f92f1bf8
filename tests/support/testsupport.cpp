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

std::vector<std::pair<std::string, std::string>> PngChunks(const std::string& bytes) {
    std::vector<std::pair<std::string, std::string>> chunks;
    std::size_t at = 8;
    while (at + 12 <= bytes.size()) {
        std::size_t length = 0;
        for (int i = 0; i < 4; ++i) {
            length = length << 8 | static_cast<unsigned char>(bytes[at + i]);
        }
        if (length > bytes.size() - at - 12) {
            return {};
        }
        chunks.emplace_back(bytes.substr(at + 4, 4), bytes.substr(at + 8, length));
        at += 12 + length;
    }
    if (at != bytes.size()) {
        return {};
    }
    return chunks;
}

std::vector<std::pair<std::string, std::string>> PngTextEntries(const std::string& bytes) {
    std::vector<std::pair<std::string, std::string>> entries;
    for (const auto& [type, data] : PngChunks(bytes)) {
        const std::size_t nul = data.find('\0');
        if (nul == std::string::npos) {
            continue;
        }
        if (type == "tEXt") {
            entries.emplace_back(data.substr(0, nul), data.substr(nul + 1));
        } else if (type == "iTXt" && nul + 2 < data.size() && data[nul + 1] == 0) {
            // Keyword, compression flag and method, language tag and
            // translated keyword (both ended by a NUL), then the text.
            const std::size_t language = data.find('\0', nul + 3);
            const std::size_t translated =
                language == std::string::npos ? language : data.find('\0', language + 1);
            if (translated != std::string::npos) {
                entries.emplace_back(data.substr(0, nul), data.substr(translated + 1));
            }
        }
    }
    return entries;
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
