// Loading shared modules by path and resolving their exports by name.
#pragma once

#include <string>

namespace platform {

using ModuleHandle = void*;

// Loads the module at `path` with every symbol bound at once; nullptr on
// failure. A file that is not a whole shared object of this machine's class
// and machine (cut short, say) is refused without being handed to the loader.
ModuleHandle LoadModule(const std::string& path);
// The loader's text for the last failed LoadModule or ResolveSymbol.
std::string LastLoadError();
// Address of the export `name`, nullptr when the module lacks it.
void* ResolveSymbol(ModuleHandle module, const char* name);
void UnloadModule(ModuleHandle module);
// Full path of the module file that holds `address`; empty when it can't be
// told. A module opened by a relative path is taken against the current
// folder, so ask while that is the folder it was opened from (at load time).
std::string ModulePathOf(const void* address);

// The loader's handle of the loaded module that holds `address` (valid while
// that module stays loaded); nullptr when it can't be told.
ModuleHandle HandleOfModule(const void* address);

template <typename Fn>
Fn Resolve(ModuleHandle module, const char* name) {
    return reinterpret_cast<Fn>(ResolveSymbol(module, name));
}

}  // namespace platform
