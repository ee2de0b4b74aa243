// The converter's run-time binding to the library: the loaded module and its
// path, the functions bound from it, the Japanese-available flag taken from
// it at start-up, and the exit code.
#pragma once

#include <string>

#include "core/Stations.h"
#include "platform/Module.h"

namespace strova {

// The loaded library and its path (DllPath + the library's file name).
extern platform::ModuleHandle VorbelModule;
extern std::string LibraryPath;
// The answer of the library's Is_JP, taken once at start-up.
extern bool JapaneseAvailable;
// 1 until the main window's close handler sets it to 0.
extern int ExitCode;

// The station accessors the station window calls, bound by the main window.
extern StationAccessors Stations;

// Address of the library's export `name`. A library that lacks it is not the
// library this program was built for: that is an error the start-up handler
// shows, never a null function called later.
void* BindExport(const char* name);
template <typename Fn>
Fn Bind(const char* name) {
    return reinterpret_cast<Fn>(BindExport(name));
}

// The folder of the running program with its trailing separator.
std::string ProgramFolder();

}  // namespace strova
