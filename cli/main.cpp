// zittermark-cli: the analysis of the desktop application without a display.

#include <atomic>
#include <cerrno>
#include <clocale>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

#include "analysis/analyzefile.h"
#include "base/memorybudget.h"
#include "base/safefile.h"
#include "base/stdstreams.h"
#include "base/translate.h"
#include "cli/options.h"
#include "cli/sharedloops.h"
#include "cli/summary.h"
#include "engine/soundfile.h"
#include "graph/fonttext.h"
#include "graph/xygraph.h"

namespace {

// The first failure to write the standard output, as an errno value; 0
// while every write has gone through. Only the printing thread writes it.
int stdoutError = 0;

// Writes the line and its newline to standard output with one write(2), so
// that several processes appending to one file add whole lines and never mix
// parts of theirs: stdio would split a line longer than its buffer over
// several writes. Only a write cut short by the system writes the rest after.
// After a failed write the remaining lines are not tried.
void WriteLine(const std::string& line) {
    if (stdoutError != 0) {
        return;
    }
    const std::string text = line + "\n";
    if (std::fflush(stdout) != 0) {
        stdoutError = errno != 0 ? errno : EIO;
        return;
    }
    const char* data = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        const ssize_t written = ::write(STDOUT_FILENO, data, left);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            stdoutError = errno;
            return;
        }
        if (written == 0) {
            stdoutError = ENOSPC;
            return;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
}

// Flushes and closes the standard output. A failure of either, or of an
// earlier write, is reported and makes the exit status 1: a report that did
// not arrive must not look like a success.
int FinishStdout(int status) {
    errno = 0;
    if (std::fflush(stdout) != 0 && stdoutError == 0) {
        stdoutError = errno != 0 ? errno : EIO;
    }
    if (std::ferror(stdout) && stdoutError == 0) {
        stdoutError = EIO;
    }
    errno = 0;
    if (std::fclose(stdout) != 0 && stdoutError == 0) {
        stdoutError = errno != 0 ? errno : EIO;
    }
    if (stdoutError != 0) {
        std::fprintf(
            stderr, "zittermark-cli: %s\n",
            TrSubst("cannot write the standard output: %s", {ErrnoMessage(stdoutError)}).c_str());
        return status == 0 ? 1 : status;
    }
    return status;
}

void PrintReport(const TCliOptions& options, const TFileReport& report) {
    if (report.ok || report.count > 0 || report.fftSize > 0) {
        WriteLine(options.json ? ReportJson(report, options.surrogates > 0) : ReportLine(report));
    } else if (options.json) {
        WriteLine(ReportJson(report, options.surrogates > 0));
    }
    for (const std::string& error : report.errors) {
        std::fprintf(stderr, "zittermark-cli: %s: %s\n", report.file.c_str(), error.c_str());
    }
    if (!report.ok && report.errors.empty()) {
        std::fprintf(stderr, "zittermark-cli: %s: %s\n", report.file.c_str(),
                     Tr("analysis failed"));
    }
}

// Address space the font configuration needs to load: below it, fontconfig
// fails inside its own allocations in ways it does not survive.
constexpr std::uint64_t kFontLookupBytes = 48u << 20;

// Why the graphs asked for cannot be drawn, or "". The face is looked up
// here, before any file is read: the first lookup loads the font
// configuration, which must not compete with the series for memory. Every
// run draws the spectrum to find its groups, graph file or not; without the
// memory to load the fonts, a run that writes no graph draws it without text.
std::string PrepareGraphFont(bool graphsAsked) {
    const std::optional<std::uint64_t> available = AvailableMemoryNow();
    if (available && *available < kFontLookupBytes) {
        DoWithoutFonts();
        if (graphsAsked) {
            return TrSubst(
                "out of memory: not enough to load the fonts for the graphs (%s MB "
                "available, %s MB needed)",
                {std::to_string(*available >> 20), std::to_string(kFontLookupBytes >> 20)});
        }
        return std::string();
    }
    if (FindFontFace(kGraphFontName) == nullptr && graphsAsked) {
        return Tr("no font for the graphs' text: install a font (such as fonts-ipafont-gothic)");
    }
    return std::string();
}

int Run(const std::vector<std::string>& args) {
    std::string error;
    std::optional<TCliOptions> parsed = ParseCliOptions(args, error);
    if (!parsed) {
        std::fprintf(stderr, "zittermark-cli: %s\n%s\n", error.c_str(),
                     Tr("Try 'zittermark-cli --help'."));
        return 2;
    }
    const TCliOptions& options = *parsed;
    if (options.help) {
        // Through the writer that keeps the system's reason of a failure: the
        // Japanese text is longer than the stream's buffer.
        std::string usage = Tr(kCliUsage);
        usage.pop_back(); // its last line break, which WriteLine adds back
        WriteLine(usage);
        return FinishStdout(0);
    }
    if (options.version) {
        std::printf("zittermark-cli %s\n", ZM_VERSION);
        return FinishStdout(0);
    }

    const std::size_t total = options.files.size();
    unsigned jobs = options.jobs > 0 ? static_cast<unsigned>(options.jobs)
                                     : std::max(1u, std::thread::hardware_concurrency());
    if (options.surrogates == 0) {
        // Without shuffled copies a file is the smallest piece of work.
        jobs = static_cast<unsigned>(std::min<std::size_t>(jobs, total));
    }
    const bool progress = ::isatty(STDERR_FILENO) == 1;
    // A decoder thread beside each file only where the files leave cores
    // idle; --jobs N asks for N busy threads, no more.
    SetDecoderReadAhead(options.jobs == 0 && jobs < std::thread::hardware_concurrency());

    // Workers take files in input order, and once none is left help with the
    // shuffled copies of the files still running; the reports are printed in
    // input order as soon as every earlier one is done.
    std::vector<TFileReport> reports(total);
    std::vector<bool> done(total, false);
    std::atomic<std::size_t> nextFile{0};
    std::mutex mutex;
    std::condition_variable finished;
    std::size_t completed = 0;
    TSharedLoops loops;
    const TParallelFor parallelFor = [&](int n, const std::function<void(int)>& body) {
        loops.For(n, body);
    };

    auto worker = [&] {
        for (;;) {
            std::size_t index = nextFile.fetch_add(1);
            if (index >= total) {
                loops.Help();
                return;
            }
            TFileReport report = AnalyzeFile(options, options.files[index], nullptr, parallelFor);
            std::lock_guard<std::mutex> lock(mutex);
            reports[index] = std::move(report);
            done[index] = true;
            ++completed;
            finished.notify_all();
        }
    };
    const std::string fontProblem =
        PrepareGraphFont(!options.spectrumPngPath.empty() || !options.seriesPngPath.empty());
    if (!fontProblem.empty()) {
        std::fprintf(stderr, "zittermark-cli: %s\n", fontProblem.c_str());
        return 1;
    }
    // A thread the system cannot start means fewer threads; with none at
    // all, this thread does the work before it prints.
    // The vector never grows once a thread runs: a thread destroyed while it
    // runs would end the process.
    std::vector<std::thread> threads;
    threads.reserve(jobs);
    for (unsigned i = 0; i < jobs; ++i) {
        try {
            threads.emplace_back(worker);
        } catch (const std::system_error&) {
            break;
        } catch (const std::bad_alloc&) {
            break;
        }
    }
    if (threads.empty()) {
        for (std::size_t index = 0; index < total; ++index) {
            reports[index] = AnalyzeFile(options, options.files[index], nullptr, parallelFor);
            done[index] = true;
            ++completed;
        }
    }

    bool allOk = true;
    for (std::size_t printed = 0; printed < total; ++printed) {
        std::unique_lock<std::mutex> lock(mutex);
        finished.wait(lock, [&] { return done[printed]; });
        if (progress) {
            std::fprintf(stderr, "\r\033[K");
        }
        PrintReport(options, reports[printed]);
        allOk = allOk && reports[printed].ok;
        if (progress && printed + 1 < total) {
            std::fprintf(
                stderr, "%s",
                TrSubst("[%s/%s done] %s ...", {std::to_string(completed), std::to_string(total),
                                                options.files[printed + 1]})
                    .c_str());
        }
    }
    loops.Stop();
    for (std::thread& thread : threads) {
        thread.join();
    }
    if (!options.summaryPath.empty()) {
        std::string detail;
        if (!WriteFileAtomically(options.summaryPath, SummaryCsv(options, reports), &detail)) {
            std::fprintf(stderr, "zittermark-cli: %s: %s%s%s\n", options.summaryPath.c_str(),
                         Tr("cannot write the summary"), detail.empty() ? "" : ": ",
                         detail.c_str());
            allOk = false;
        }
    }
    return FinishStdout(allOk ? 0 : 1);
}

} // namespace

int main(int argc, char** argv) {
    // Numbers are formatted without the C library's locale, but keep the
    // process in the C locale for anything else that might consult it.
    std::setlocale(LC_ALL, "C");
    // The language of every message, --language first, before anything can
    // go wrong; a wrong value is refused by the option parser, in the
    // locale's language.
    const std::vector<std::string> args(argv + 1, argv + argc);
    UseLanguage(LanguageArgument(args).value_or(LanguageFromEnvironment()));
    // Translated now: when memory runs out there may be none left to look it
    // up.
    static const char* const outOfMemory = Tr("zittermark-cli: out of memory\n");
    // With the address space nearly full from the start, even the exception
    // that reports a failed allocation cannot be allocated, and the runtime
    // terminates with no exception in flight. That is still out of memory:
    // say so and exit 1 rather than abort. Anything else keeps the abort.
    std::set_terminate([] {
        if (!std::current_exception()) {
            std::fputs(outOfMemory, stderr);
            std::_Exit(1);
        }
        std::abort();
    });
    OpenMissingStandardDescriptors();
    try {
        return Run(args);
    } catch (const std::bad_alloc&) {
        // Each file's analysis reports its own; this is what is left (the
        // options, the reports, the summary).
        std::fputs(outOfMemory, stderr);
        return 1;
    }
}
