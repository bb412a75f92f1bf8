#pragma once
// How much memory a run may still take, so that a series too long for the
// machine is refused with the figures instead of failing part-way.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The bytes a run may still allocate: the smaller of what the system has
// available (MemAvailable plus SwapFree of `meminfo`, the text of
// /proc/meminfo) and what the address-space limit leaves (`addressLimit`
// less `addressUsed`; no limit when addressLimit is absent). Absent when
// neither is known.
std::optional<std::uint64_t> AvailableMemory(std::string_view meminfo,
                                             std::optional<std::uint64_t> addressLimit,
                                             std::uint64_t addressUsed);

// The same for this process now, read from /proc and getrlimit.
std::optional<std::uint64_t> AvailableMemoryNow();

// The bytes an analysis of `count` values holds at most: the values, one
// sum per four values for the fluctuation analysis, and the spectrum of the
// next power of two, at most 2^18, points.
std::uint64_t AnalysisBytes(std::uint64_t count);

// Empty when `count` values (of `what`, "windows" or "values") fit in
// `available` bytes; otherwise the refusal, such as "12,500,000 windows
// need 126 MB of memory; 50 MB are available".
std::string MemoryShortfall(std::uint64_t count, const char* what,
                            std::optional<std::uint64_t> available);
