// The window-free part of the two data-file list dialogs: data-file names,
// the data folder, the cells of a listed file and the order of the rows.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Files.h"

namespace vorbel {

// The folder part of a path: the text before its last '/', empty when it
// holds none.
std::string SplitPath(const std::string& path);

struct FileNameParts {
    std::string base;
    std::string extension;  // the text after the first dot, without it
};
// Splits a file name at its first dot when that dot is not the first
// character; otherwise the whole name is the base name.
FileNameParts SplitFileName(const std::string& name);

// A data file's base name is SSSYYYY: seven characters, the station ID
// (with leading zeros) and the year (9999 for the standard year). Each reads
// its part as an integer, a sign allowed ("-011999" is station -1, year
// 1999), and gives -1 for a part that is no integer and for a base name of
// any other length.
int StationFromFileName(const std::string& name);
int YearFromFileName(const std::string& name);
constexpr int StandardYear = 9999;

// The data folder used when none is stored: "Tmp/" in the parent of the
// DllPath folder ("/opt/wx/bin/" and "/opt/wx/bin" both give "/opt/wx/Tmp/";
// an empty DllPath or "/" gives "/Tmp/").
std::string DefaultDataFolder(const std::string& dllPath);

// The root values of the settings: the text of DllPath or TmpPath, empty when
// the root key or the value is missing or holds no text.
std::string ReadRootText(const std::string& name);
// Writes a root text value when the root key exists; a missing key or a
// store that can't be written leaves everything as it was.
void WriteRootText(const std::string& name, const std::string& value);

// "yy/mm/dd" with `separator` in place of each '/'.
std::string FileDateText(const std::tm& local, const std::string& separator);
// The exact size in decimal with `groupSeparator` between groups of three.
std::string SizeText(std::uint64_t size, const std::string& groupSeparator);

// How the cells of a row are written.
struct RowFormat {
    bool japanese = false;
    std::string dateSeparator = "/";
    std::string groupSeparator = ",";
};

// One listed file. The station name and the year text are code page 932
// bytes (the station table's texts); the file name is as found on disk.
struct FileRow {
    std::string fileName;
    int station = -1;
    std::string stationName;
    std::string yearText;
    std::string dateText;
    std::string sizeText;
};

FileRow MakeFileRow(const platform::FoundFile& file, const RowFormat& format);

// The rows of the files that match `pattern` (a folder prefix and a wildcard),
// in name order, leaving out every entry with an attribute outside
// faAnyKnown.
std::vector<FileRow> ScanRows(const std::string& pattern, const RowFormat& format);

constexpr int FileColumnCount = 6;
constexpr int SizeColumn = 5;

// The text a column sorts by (empty for the size column).
std::string SortKey(const FileRow& row, int column);
// Byte-wise comparison after folding 'a'..'z' to upper case; a text that is
// the start of the other comes first. Negative, zero or positive.
int CompareTexts(std::string_view a, std::string_view b);
// The order of two rows by `column`: negative when `a` comes first, reversed
// when not ascending; zero for the size column, which has no order.
int CompareRows(const FileRow& a, const FileRow& b, int column, bool ascending);

// Column directions as a dialog starts: names and numbers ascending, the
// others descending, so that a first click sorts the other way round.
struct SortState {
    int SortColumn = 0;
    bool SortAscending[SizeColumn] = {true, true, false, false, false};
    // A click on a column header: the column becomes the sort column and, for
    // every column but the size, its direction turns. True when the list is
    // to be sorted again.
    bool ColumnClick(int column);
    bool Ascending() const { return SortColumn < SizeColumn && SortAscending[SortColumn]; }
};

}  // namespace vorbel
