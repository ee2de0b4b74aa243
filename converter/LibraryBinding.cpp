#include "LibraryBinding.h"

#include <filesystem>

#include "platform/Exception.h"

namespace strova {

platform::ModuleHandle VorbelModule = nullptr;
std::string LibraryPath;
bool JapaneseAvailable = false;
int ExitCode = 1;
StationAccessors Stations;

void* BindExport(const char* name) {
    void* address = platform::ResolveSymbol(VorbelModule, name);
    if (!address)
        throw platform::Exception(LibraryPath + " lacks the function " + name + ".\rTerminate with the error.");
    return address;
}

std::string ProgramFolder() {
    std::error_code error;
    std::string program = std::filesystem::read_symlink("/proc/self/exe", error).string();
    std::size_t slash = program.rfind('/');
    return slash == std::string::npos ? std::string() : program.substr(0, slash + 1);
}

}  // namespace strova
