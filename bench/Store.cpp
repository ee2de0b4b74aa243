#include "Store.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <utility>

#include "Measure.h"
#include "core/FileIo.h"
#include "platform/Module.h"
#include "platform/Registry.h"
#include "vorbel/Settings.h"

namespace bench {

namespace {

constexpr int kValues = 40000;

std::string ProgramKey(int key) { return strova::Printf("Program%05d", key); }
std::string ValueName(int value) { return strova::Printf("Value%05d", value); }
std::string Folder(int key, int value) { return strova::Printf("/data/program%05d/folder%05d/", key, value); }

// The store as the library writes it: the root key with DllPath and `keys`
// program keys sharing the values.
std::string StoreText(int keys) {
    platform::RegistryKeys store{{"Software", {}},
                                 {"Software\\Vorbel", {{"DllPath", platform::RegSz, "/opt/vorbel/"}}}};
    for (int k = 0; k < keys; ++k) {
        platform::RegistryKey key{"Software\\Vorbel\\" + ProgramKey(k), {}};
        for (int v = 0; v < kValues / keys; ++v) key.values.push_back({ValueName(v), platform::RegSz, Folder(k, v)});
        store.push_back(std::move(key));
    }
    return platform::FormatRegistryText(store);
}

// The best of eleven reads of the last value of the last key, and whether
// each gave its text.
bool ReportLayout(const std::string& path, int keys, decltype(&::GetStrRegistry) read) {
    {
        strova::FilePtr file = OpenFile(path, "wb");
        const std::string text = StoreText(keys);
        Check(std::fwrite(text.data(), 1, text.size(), file.get()) == text.size(), path);
        CloseWritten(std::move(file), path);
    }
    setenv("VORBEL_REGISTRY", path.c_str(), 1);
    const int values = kValues / keys;
    const std::string key = ProgramKey(keys - 1), name = ValueName(values - 1), expected = Folder(keys - 1, values - 1);
    double best = 1e9, cat = 1e9;
    bool right = true;
    for (int round = 0; round < 11; ++round) {
        char buffer[64] = {};
        const Clock::time_point start = Clock::now();
        read(key.c_str(), name.c_str(), buffer);
        best = std::min(best, Seconds(start));
        right = right && expected == buffer;
        cat = std::min(cat, CatSeconds(path));
    }
    std::printf("%-28s %d values in %4d key(s), %.1f MiB: one read %8.4f s   cat %8.5f s   ratio %6.1fx   %s\n",
                "settings store read", kValues, keys, std::filesystem::file_size(path) / 1048576.0, best, cat,
                best / cat, right ? "right text" : "WRONG TEXT");
    return right;
}

}  // namespace

bool ReportStore(const std::string& dir) {
    const auto read = platform::Resolve<decltype(&::GetStrRegistry)>(Library(), "GetStrRegistry");
    if (!read) throw BenchError("libvorbel.so has no GetStrRegistry");
    // The user's own settings are never read here.
    const char* user = std::getenv("VORBEL_REGISTRY");
    const std::optional<std::string> userStore = user ? std::optional<std::string>(user) : std::nullopt;
    const bool apart = ReportLayout(dir + "/apart.reg", kValues, read);
    const bool spread = ReportLayout(dir + "/spread.reg", kValues / 10, read);
    const bool one = ReportLayout(dir + "/one.reg", 1, read);
    if (userStore)
        setenv("VORBEL_REGISTRY", userStore->c_str(), 1);
    else
        unsetenv("VORBEL_REGISTRY");
    return apart && spread && one;
}

}  // namespace bench
