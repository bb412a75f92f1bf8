#pragma once
// The fuzz input as a file: the samplers and readers open files by name, and
// an in-memory file keeps each run off the disk. It is created once per
// process and rewritten for every input.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

inline const std::string& FuzzInputFileName() {
    static const std::string name = [] {
        int fd = ::memfd_create("zittermark_fuzz", 0);
        if (fd < 0) {
            std::abort();
        }
        return "/proc/self/fd/" + std::to_string(fd);
    }();
    return name;
}

// Replaces the file's content by the input; returns its name.
inline const std::string& WriteFuzzInputFile(const uint8_t* data, std::size_t size) {
    const std::string& name = FuzzInputFileName();
    int fd = std::atoi(name.c_str() + std::strlen("/proc/self/fd/"));
    if (::ftruncate(fd, 0) != 0 ||
        (size > 0 && ::pwrite(fd, data, size, 0) != static_cast<ssize_t>(size))) {
        std::abort();
    }
    return name;
}

// The byte `back` places before the input's last one; 0 beyond its start.
// Fields at the end of the input choose the readers' parameters.
inline uint32_t TailByte(const uint8_t* data, std::size_t size, std::size_t back) {
    return back < size ? data[size - 1 - back] : 0;
}
