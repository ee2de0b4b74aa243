#include "core/AmeCore.h"

#include "core/FileIo.h"

#include <algorithm>
#include <cstring>

namespace strova {

namespace {

// The Name field as text (it is always NUL-terminated within its 20 bytes).
std::string NameOf(const AmeRecord& station) { return std::string(station.Name, strnlen(station.Name, 20)); }

}  // namespace

void KeepTicked(Placement& placement, const std::vector<bool>& ticked) {
    std::size_t kept = static_cast<std::size_t>(placement.internalCount);
    for (std::size_t box = 0; box < ticked.size(); ++box)
        if (ticked[box]) placement.selected[kept++] = placement.selected[placement.internalCount + box];
    placement.selected.resize(kept);
}

bool WriteAmeFile(std::FILE* stream, const std::vector<AmeRecord>& stations) {
    return std::fwrite(stations.data(), sizeof(AmeRecord), stations.size(), stream) == stations.size() &&
           std::fflush(stream) == 0;
}

std::vector<std::string> StationListLines(const std::string& baseName, const std::vector<AmeRecord>& stations) {
    std::vector<std::string> lines{baseName, Printf("%3d", static_cast<int>(stations.size()))};
    for (const AmeRecord& s : stations)
        lines.push_back(Printf("0.0       %2d %3d %-18s", int{s.CD}, int{s.Id}, NameOf(s).c_str()));
    return lines;
}

bool WriteTextLines(std::FILE* stream, const std::vector<std::string>& lines) {
    for (const std::string& line : lines)
        if (std::fputs(line.c_str(), stream) < 0 || std::fputs("\r\n", stream) < 0) return false;
    return std::fflush(stream) == 0;
}

// A write that fails fails the commit, which names the file: both files are
// whole before either replaces its earlier file.
StepFailure WriteStationFiles(StepTransaction& files, const std::vector<AmeRecord>& stations,
                              const std::vector<std::string>& listLines) {
    if (files.Stream(0)) WriteAmeFile(files.Stream(0), stations);
    if (files.Stream(1)) WriteTextLines(files.Stream(1), listLines);
    return files.Commit();
}

std::vector<std::string> StationLogLines(const Placement& placement, const std::string& amePath,
                                         const std::string& datPath) {
    std::vector<std::string> lines{
        "AMeDAS stations for this map",
        Printf("     Total number: %-3d", static_cast<int>(placement.selected.size())),
        Printf("  Internal number: %-3d", placement.internalCount),
        Printf("Additional number: %-3d", placement.additionalCount()),
        "CD Id Name                    ( X-pixel,  Y-pixel)",
    };
    for (const AmeRecord& s : placement.selected)
        lines.push_back(Printf("%1d %3d %-24s(%8ld, %8ld)", int{s.CD}, int{s.Id}, NameOf(s).c_str(),
                               static_cast<long>(s.X), static_cast<long>(s.Y)));
    lines.push_back("These data were saved in: " + amePath + " as a binary file");
    lines.push_back(std::string(26, ' ') + datPath + " as a text file");
    lines.push_back("The former is important to run Tessadyn!");
    lines.push_back("The Later is useful to prepare potential data by yourself.");
    return lines;
}

MarkPosition CirclePosition(const AmeRecord& station, int mapHeight) {
    return {station.X - 5, mapHeight - station.Y - 5};
}

MarkPosition CheckBoxPosition(const AmeRecord& station, int mapWidth, int mapHeight) {
    MarkPosition at{station.X - 8, mapHeight - station.Y - 8};
    if (at.left < 0) at.left = 1;
    if (at.top < 0) at.top = 1;
    if (at.left > mapWidth - 16) at.left = mapWidth - 17;
    if (at.top > mapHeight - 16) at.top = mapHeight - 17;
    return at;
}

int StationProgressIncrement(int maximum, int position, int totalCount) {
    if (totalCount < 1) return 0;
    return static_cast<int>(static_cast<double>(maximum - position) / totalCount + 0.5);
}

std::string InfoFileErrorText(bool japanese) {
    return japanese ? "内部情報ﾌｧｲﾙ：\r<gm_info.dat>\rが読み込めません．"
                    : "Internal Information File :\r<gm_info.dat> can't open.";
}

std::string OutputOpenErrorText(const std::string& path, bool japanese, int error) {
    return (japanese ? "出力先のﾌｧｲﾙ：\r<" + path + ">\rが読み込めません．"
                     : "Internal Information File :\r<" + path + "> can't open.") +
           ReasonOnNewLine(error, japanese);
}

std::string PixelReadErrorText(const std::string& tmpPath, bool japanese) {
    return (japanese ? "読み込みｴﾗｰ：\r<" : "Read error:\r<") + tmpPath + ">";
}

std::string NoStationInBoundsText(bool japanese) {
    return japanese ? "地図の範囲内にｱﾒﾀﾞｽ地点がありません．\r範囲を確かめてください．"
                    : "No AMeDAS station lies inside the bounds of this map.\rCheck the bounds and run again.";
}

}  // namespace strova
