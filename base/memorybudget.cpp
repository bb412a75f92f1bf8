#include "base/memorybudget.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <unistd.h>

#include "base/textformat.h"
#include "base/translate.h"

namespace {

// The value in kB of the line "<key>: <value> kB", in bytes.
std::optional<std::uint64_t> MeminfoField(std::string_view meminfo, std::string_view key) {
    std::size_t at = 0;
    while (at < meminfo.size()) {
        std::size_t end = meminfo.find('\n', at);
        if (end == std::string_view::npos) {
            end = meminfo.size();
        }
        const std::string_view line = meminfo.substr(at, end - at);
        at = end + 1;
        if (line.size() <= key.size() || line.substr(0, key.size()) != key ||
            line[key.size()] != ':') {
            continue;
        }
        std::string_view rest = line.substr(key.size() + 1);
        while (!rest.empty() && rest.front() == ' ') {
            rest.remove_prefix(1);
        }
        std::uint64_t kilobytes = 0;
        std::size_t digits = 0;
        while (digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9') {
            if (kilobytes > (UINT64_MAX - 9) / 10) {
                return std::nullopt;
            }
            kilobytes = kilobytes * 10 + static_cast<std::uint64_t>(rest[digits] - '0');
            ++digits;
        }
        if (digits == 0 || kilobytes > UINT64_MAX / 1024) {
            return std::nullopt;
        }
        return kilobytes * 1024;
    }
    return std::nullopt;
}

// Whole megabytes (10^6 bytes) with thousands separators, rounded up.
std::string Megabytes(std::uint64_t bytes) {
    return FormatInt(static_cast<long long>(bytes / 1000000 + (bytes % 1000000 != 0 ? 1 : 0)));
}

std::string Grouped(std::uint64_t value) {
    const std::string digits = FormatInt(static_cast<long long>(value));
    std::string grouped;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) {
            grouped += ',';
        }
        grouped += digits[i];
    }
    return grouped;
}

} // namespace

std::optional<std::uint64_t> AvailableMemory(std::string_view meminfo,
                                             std::optional<std::uint64_t> addressLimit,
                                             std::uint64_t addressUsed) {
    std::optional<std::uint64_t> available;
    if (const std::optional<std::uint64_t> memory = MeminfoField(meminfo, "MemAvailable")) {
        const std::uint64_t swap = MeminfoField(meminfo, "SwapFree").value_or(0);
        available = *memory + std::min(swap, UINT64_MAX - *memory);
    }
    if (addressLimit) {
        const std::uint64_t left = *addressLimit > addressUsed ? *addressLimit - addressUsed : 0;
        available = available ? std::min(*available, left) : left;
    }
    return available;
}

std::optional<std::uint64_t> AvailableMemoryNow() {
    std::string meminfo;
    {
        std::ifstream in("/proc/meminfo");
        std::ostringstream text;
        text << in.rdbuf();
        meminfo = text.str();
    }
    std::optional<std::uint64_t> limit;
    struct rlimit address;
    if (::getrlimit(RLIMIT_AS, &address) == 0 && address.rlim_cur != RLIM_INFINITY) {
        limit = static_cast<std::uint64_t>(address.rlim_cur);
    }
    std::uint64_t used = 0;
    if (limit) {
        // The first field of statm is the size of the address space in pages.
        std::ifstream statm("/proc/self/statm");
        std::uint64_t pages = 0;
        if (statm >> pages) {
            used = pages * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
        }
    }
    return AvailableMemory(meminfo, limit, used);
}

std::uint64_t AnalysisBytes(std::uint64_t count) {
    // 8 bytes per value held and 2 per value for the fluctuation analysis;
    // the spectrum of at most 2^18 points takes 48 bytes per point with its
    // window and the resampler's buffers.
    std::uint64_t points = 1;
    while (points < count && points < (1u << 18)) {
        points *= 2;
    }
    if (count > (UINT64_MAX - 48 * points) / 10) {
        return UINT64_MAX;
    }
    return count * 10 + 48 * points;
}

std::string MemoryShortfall(std::uint64_t count, const char* what,
                            std::optional<std::uint64_t> available) {
    const std::uint64_t needed = AnalysisBytes(count);
    if (!available || needed <= *available) {
        return {};
    }
    return TrSubst("%s %s need %s MB of memory; %s MB are available",
                   {Grouped(count), Tr(what), Megabytes(needed),
                    FormatInt(static_cast<long long>(*available / 1000000))});
}
