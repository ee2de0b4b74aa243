// The names of the family's modules and files on this platform, in one place.
// Messages that name such a file use these names.
#pragma once

namespace platform::names {

// The function library, appended to DllPath by plain concatenation.
constexpr const char* VorbelLibrary = "libvorbel.so";
// The map resource library, in the library folder.
constexpr const char* BruvikLibrary = "libbruvik.so";
// The sibling programs, in the library folder.
constexpr const char* QuillsenProgram = "quillsen";
constexpr const char* MorakProgram = "morak";
// The converter's help pages, relative to the current folder.
constexpr const char* StrovaHelp = "./Strova.html";
constexpr const char* StrovaHelpJapanese = "./StrovaJ.html";
// The marker of a running converter.
constexpr const char* StrovaInstanceLock = "Pelgo19990209Mutex";

}  // namespace platform::names
