// Library-wide values set when the library loads.
#pragma once

#include <string>

namespace vorbel {

// The library folder: the folder of the library file with its trailing
// separator, however long, or the empty text when the library's path can't be
// read. Other units append file names to it by plain concatenation, and
// never use a file name alone when it is empty: that would look the file up
// along a search path, outside the library folder.
const char* LibraryFolder();

// Drive and folder of `modulePath` up to and including the last separator
// (a path without one gives the empty text).
std::string FolderOfModule(const std::string& modulePath);

}  // namespace vorbel

namespace platform {
class Application;
}

namespace vorbel {

// The library's own application object: its message boxes go through it and
// its hint event belongs to the map dialog while that is open. Creates the
// QApplication when the calling program has none.
platform::Application& App();

}  // namespace vorbel
