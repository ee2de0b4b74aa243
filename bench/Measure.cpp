#include "Measure.h"

#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/Module.h"

namespace bench {

namespace {

long ResidentKiB() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

}  // namespace

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// The peak is sampled every fraction of a millisecond: the kernel's own
// high-water mark misses memory that a thread's heap gives back early.
Measure InChild(const std::function<bool()>& step, const std::function<void()>& prepare) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return {};
    const pid_t child = fork();
    if (child == 0) {
        close(pipeFds[0]);
        if (prepare) prepare();
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
        m.ok = step();
        m.seconds = Seconds(start);
        running = false;
        sampler.join();
        m.peakKiB = std::max(peak.load(), ResidentKiB()) - before;
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

strova::StationAccessors BindLibrary() {
    namespace fs = std::filesystem;
    const std::string folder = fs::canonical("/proc/self/exe").parent_path().string();
    platform::ModuleHandle library = platform::LoadModule(folder + "/libvorbel.so");
    if (!library) {
        std::fprintf(stderr, "%s\n", platform::LastLoadError().c_str());
        std::exit(1);
    }
    return strova::BindStationAccessors([library](const char* name) { return platform::ResolveSymbol(library, name); });
}

}  // namespace bench
