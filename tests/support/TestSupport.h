// Small helpers the test programs share: scratch folders, environment
// variables set for one test, whole-file reads and writes.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace testing_support {

// A fresh empty folder below the build's test scratch area, removed with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    // path() / name as text.
    std::string file(const std::string& name) const;

private:
    std::filesystem::path path_;
};

// Sets (or with nullopt unsets) an environment variable until destroyed.
class ScopedEnv {
public:
    ScopedEnv(std::string name, std::optional<std::string> value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& bytes);

// The built modules' folder (where strova, libvorbel.so and libbruvik.so lie).
std::string BinDir();
std::string SourceDir();

}  // namespace testing_support
