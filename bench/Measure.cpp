#include "Measure.h"

#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>


namespace bench {

namespace {

long ResidentKiB() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// The time and peak memory growth of `step` in this process; what it throws
// comes out once the sampling has ended.
Measure Sampled(const std::function<bool()>& step) {
    // Hand the heap's free pages back first, so that the step's own
    // allocations show as growth instead of reusing resident pages.
    malloc_trim(0);
    const long before = ResidentKiB();
    std::atomic<bool> running{true};
    std::atomic<long> peak{before};
    std::thread sampler([&] {
        while (running) {
            peak = std::max(peak.load(), ResidentKiB());
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    const Clock::time_point start = Clock::now();
    Measure m;
    std::exception_ptr failure;
    try {
        m.ok = step();
    } catch (...) {
        failure = std::current_exception();
    }
    m.seconds = Seconds(start);
    running = false;
    sampler.join();
    if (failure) std::rethrow_exception(failure);
    m.peakKiB = std::max(peak.load(), ResidentKiB()) - before;
    return m;
}

}  // namespace

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

strova::FilePtr OpenFile(const std::string& path, const char* mode) {
    strova::FilePtr file(std::fopen(path.c_str(), mode));
    if (!file) throw BenchError(path + ": " + std::strerror(errno));
    return file;
}

void Check(bool ok, const std::string& path) {
    if (!ok) throw BenchError(path + ": " + std::strerror(errno));
}

void CloseWritten(strova::FilePtr file, const std::string& path) { Check(std::fclose(file.release()) == 0, path); }

double CatSeconds(const std::string& path) {
    std::vector<char> buffer(128 << 10);
    strova::FilePtr file = OpenFile(path, "rb");
    const Clock::time_point start = Clock::now();
    while (std::fread(buffer.data(), 1, buffer.size(), file.get()) == buffer.size()) {
    }
    return Seconds(start);
}

// The peak is sampled every fraction of a millisecond: the kernel's own
// high-water mark misses memory that a thread's heap gives back early.
Measure InChild(const std::function<bool()>& step, const std::function<void()>& prepare) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return {};
    const pid_t child = fork();
    if (child == 0) {
        close(pipeFds[0]);
        Measure m;
        try {
            if (prepare) prepare();
            m = Sampled(step);
        } catch (const std::exception& error) {
            std::fprintf(stderr, "strova_bench: %s\n", error.what());
            _exit(1);
        }
        (void)!write(pipeFds[1], &m, sizeof m);
        _exit(0);
    }
    close(pipeFds[1]);
    Measure m;
    if (read(pipeFds[0], &m, sizeof m) != sizeof m) m = {};
    close(pipeFds[0]);
    waitpid(child, nullptr, 0);
    return m;
}

platform::ModuleHandle Library() {
    namespace fs = std::filesystem;
    const std::string folder = fs::canonical("/proc/self/exe").parent_path().string();
    platform::ModuleHandle library = platform::LoadModule(folder + "/libvorbel.so");
    if (!library) {
        std::fprintf(stderr, "%s\n", platform::LastLoadError().c_str());
        std::exit(1);
    }
    return library;
}

strova::StationAccessors BindLibrary() {
    platform::ModuleHandle library = Library();
    return strova::BindStationAccessors([library](const char* name) { return platform::ResolveSymbol(library, name); });
}

}  // namespace bench
