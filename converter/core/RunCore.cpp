#include "core/RunCore.h"

#include <algorithm>
#include <filesystem>

#include "core/FileIo.h"

namespace strova {

namespace {

// Whether two folder prefixes name one folder ("", "./" and "." all do).
bool SameFolder(const std::string& a, const std::string& b) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path left = fs::absolute(fs::path(a.empty() ? "." : a) / "x", error).lexically_normal();
    const fs::path right = fs::absolute(fs::path(b.empty() ? "." : b) / "x", error).lexically_normal();
    return left == right;
}

}  // namespace

OutputPaths DeriveOutputPaths(const std::string& amePath, const std::string& cfgPath, const std::string& baseName) {
    OutputPaths paths;
    paths.ame = amePath + baseName + ".ame";
    paths.cfg = cfgPath + baseName + ".cfg";
    paths.dat = "./" + baseName + "_a.dat";
    paths.ameBackup = amePath + baseName + ".bak";
    paths.cfgBackup = cfgPath + baseName + (SameFolder(amePath, cfgPath) ? "_cfg.bak" : ".bak");
    paths.datBackup = "./" + baseName + "_a.bak";
    return paths;
}

bool IsReservedBaseName(const std::string& baseName) {
    std::string upper = baseName;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
    for (const char* reserved : {"JAPAN", "HOKKAIDO", "TOHOKU", "KANTO", "CHUBU", "KINKI", "CHUSHI", "KYUSHU"})
        if (upper == reserved) return true;
    return false;
}

std::string BoundsLogLine(double leftLon, double bottomLat, double rightLon, double topLat) {
    return Printf("Longitude(X) and Latitude(Y): (%lf,%lf)-(%lf,%lf)", leftLon, bottomLat, rightLon, topLat);
}

std::string StepDoneLogLine(int step) { return Printf("--- Step %d: Normally processed.", step); }

std::string CfgCreatedLogLine(const std::string& cfgPath) { return "File: " + cfgPath + " created."; }

}  // namespace strova
