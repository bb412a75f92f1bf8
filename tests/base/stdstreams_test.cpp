#include "base/stdstreams.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// In a child: closes `closed`, runs the function, then checks that each of
// them is /dev/null and that a new file gets a number above 2. Returns the
// child's exit status: 0 when all holds, else the step that failed.
int RunWithClosed(const std::vector<int>& closed) {
    const pid_t child = ::fork();
    if (child == 0) {
        for (int fd : closed) {
            ::close(fd);
        }
        OpenMissingStandardDescriptors();
        struct stat null;
        if (::stat("/dev/null", &null) != 0) {
            ::_exit(10);
        }
        for (int fd = 0; fd <= 2; ++fd) {
            struct stat info;
            if (::fstat(fd, &info) != 0) {
                ::_exit(20 + fd);
            }
            bool wasClosed = false;
            for (int c : closed) {
                wasClosed = wasClosed || c == fd;
            }
            if (wasClosed && info.st_rdev != null.st_rdev) {
                ::_exit(30 + fd);
            }
            // The written descriptors must take writes, the read one reads.
            if (wasClosed && fd > 0 && ::write(fd, "x", 1) != 1) {
                ::_exit(40 + fd);
            }
        }
        const int next = ::open("/dev/null", O_RDONLY);
        ::_exit(next > 2 ? 0 : 50);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

} // namespace

TEST(OpenMissingStandardDescriptors, FillsEachClosedOneWithDevNull) {
    const std::vector<std::vector<int>> cases = {{}, {0}, {1}, {2}, {1, 2}, {0, 2}, {0, 1, 2}};
    for (const std::vector<int>& closed : cases) {
        std::string shown;
        for (int fd : closed) {
            shown += std::to_string(fd) + " ";
        }
        EXPECT_EQ(RunWithClosed(closed), 0) << "closed: " << shown;
    }
}
