#include "FileListCore.h"

#include <algorithm>
#include <cstdio>

#include "platform/Cp932.h"
#include "platform/Registry.h"
#include "vorbel/Stations.h"

namespace vorbel {

namespace {

constexpr const char* RootKey = "\\Software\\Vorbel";
constexpr std::size_t DataNameLength = 7;

// The seven-character base name of a data file, or empty for any other name.
std::string DataBaseName(const std::string& name) {
    std::string base = SplitFileName(name).base;
    return base.size() == DataNameLength ? base : std::string();
}

// The integer a part of a base name writes: decimal digits after an optional
// sign ("-01" is -1); -1 for a part that writes no integer.
int IntegerOf(std::string_view part) {
    std::string_view digits = part.starts_with('-') || part.starts_with('+') ? part.substr(1) : part;
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return -1;
    int value = 0;
    for (char c : digits) value = value * 10 + (c - '0');
    return part.starts_with('-') ? -value : value;
}

std::string TwoDigits(int value) {
    char text[4];
    std::snprintf(text, sizeof text, "%02d", ((value % 100) + 100) % 100);
    return text;
}

unsigned char FoldedByte(char c) {
    unsigned char byte = static_cast<unsigned char>(c);
    return byte >= 'a' && byte <= 'z' ? static_cast<unsigned char>(byte - 'a' + 'A') : byte;
}

std::string StationNameOf(int station, bool japanese) {
    // The accessors copy the text out of the packed row, whose pointers may
    // lie unaligned.
    char buffer[StationTextBufferSize];
    return japanese ? GetAMeDASName(station - 1, buffer) : GetAMeDASPron(station - 1, buffer);
}

std::string YearText(int year, bool japanese) {
    if (year != StandardYear) return std::to_string(year);
    static const std::string japaneseText = platform::Utf8ToCp932("標準年");
    return japanese ? japaneseText : "Standard Year";
}

// The date cell as a key that sorts dates of 1980 to 2079 in time order.
std::string DateKey(const std::string& dateText) {
    std::string century = CompareTexts(dateText.substr(0, 2), "80") >= 0 ? "19" : "20";
    return century + dateText.substr(0, 8);
}

}  // namespace

std::string SplitPath(const std::string& path) {
    auto cut = path.find_last_of('/');
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

FileNameParts SplitFileName(const std::string& name) {
    auto dot = name.find('.');
    if (dot == std::string::npos || dot == 0) return {name, {}};
    return {name.substr(0, dot), name.substr(dot + 1)};
}

int StationFromFileName(const std::string& name) {
    std::string base = DataBaseName(name);
    return base.empty() ? -1 : IntegerOf(std::string_view(base).substr(0, 3));
}

int YearFromFileName(const std::string& name) {
    std::string base = DataBaseName(name);
    return base.empty() ? -1 : IntegerOf(std::string_view(base).substr(3));
}

std::string DefaultDataFolder(const std::string& dllPath) {
    std::string folder = dllPath.empty() ? dllPath : dllPath.substr(0, dllPath.size() - 1);
    return SplitPath(folder) + "/Tmp/";
}

std::string ReadRootText(const std::string& name) {
    platform::Registry registry;
    if (!registry.OpenKey(RootKey, false)) return {};
    try {
        return registry.ReadString(name);
    } catch (const platform::RegistryError&) {
        return {};  // missing, or not a text
    }
}

void WriteRootText(const std::string& name, const std::string& value) {
    platform::Registry registry;
    if (!registry.OpenKey(RootKey, false)) return;
    try {
        registry.WriteString(name, value);
    } catch (const platform::RegistryError&) {
        // The store refuses a change it can't make safely; the folder is
        // still used for this showing.
    }
}

std::string FileDateText(const std::tm& local, const std::string& separator) {
    return TwoDigits(local.tm_year) + separator + TwoDigits(local.tm_mon + 1) + separator + TwoDigits(local.tm_mday);
}

std::string SizeText(std::uint64_t size, const std::string& groupSeparator) {
    std::string digits = std::to_string(size);
    std::string text;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) text += groupSeparator;
        text += digits[i];
    }
    return text;
}

FileRow MakeFileRow(const platform::FoundFile& file, const RowFormat& format) {
    FileRow row;
    row.fileName = file.name;
    row.station = StationFromFileName(file.name);
    row.stationName = StationNameOf(row.station, format.japanese);
    row.yearText = YearText(YearFromFileName(file.name), format.japanese);
    row.dateText = FileDateText(file.lastWrite, format.dateSeparator);
    row.sizeText = SizeText(file.size, format.groupSeparator);
    return row;
}

std::vector<FileRow> ScanRows(const std::string& pattern, const RowFormat& format) {
    std::vector<FileRow> rows;
    for (const auto& file : platform::FindFiles(pattern))
        if ((file.attributes & ~platform::faAnyKnown) == 0) rows.push_back(MakeFileRow(file, format));
    return rows;
}

std::string SortKey(const FileRow& row, int column) {
    switch (column) {
        case 0: return row.fileName;
        case 1: {
            char text[16];
            std::snprintf(text, sizeof text, "%03d", row.station);
            return text;
        }
        case 2: return row.stationName;
        case 3: return row.yearText;
        case 4: return DateKey(row.dateText);
        default: return {};
    }
}

int CompareTexts(std::string_view a, std::string_view b) {
    std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        int difference = FoldedByte(a[i]) - FoldedByte(b[i]);
        if (difference != 0) return difference;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

int CompareRows(const FileRow& a, const FileRow& b, int column, bool ascending) {
    if (column < 0 || column >= SizeColumn) return 0;
    int order = CompareTexts(SortKey(a, column), SortKey(b, column));
    return ascending ? order : -order;
}

bool SortState::ColumnClick(int column) {
    if (column < 0 || column >= FileColumnCount) return false;
    SortColumn = column;
    if (column == SizeColumn) return false;
    SortAscending[column] = !SortAscending[column];
    return true;
}

}  // namespace vorbel
