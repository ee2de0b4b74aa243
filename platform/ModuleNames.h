// What the family's modules and files are called on this platform, in one
// place: messages that name such a file use these names.
#pragma once

namespace platform {

inline constexpr const char* LibraryFileName = "libvorbel.so";
inline constexpr const char* ResourceLibraryFileName = "libbruvik.so";
inline constexpr const char* QuillsenFileName = "quillsen";
inline constexpr const char* MorakFileName = "morak";
inline constexpr const char* HelpFileEnglish = "Strova.html";
inline constexpr const char* HelpFileJapanese = "StrovaJ.html";

}  // namespace platform
