#include "Module.h"

#include <dlfcn.h>

#include <filesystem>

namespace platform {

namespace {
thread_local std::string lastError;

void KeepError() {
    const char* text = dlerror();
    lastError = text ? text : "";
}
}  // namespace

ModuleHandle LoadModule(const std::string& path) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) KeepError();
    return handle;
}

std::string LastLoadError() { return lastError; }

void* ResolveSymbol(ModuleHandle module, const char* name) {
    dlerror();
    void* address = dlsym(module, name);
    if (!address) KeepError();
    return address;
}

void UnloadModule(ModuleHandle module) {
    if (module) dlclose(module);
}

std::string ModulePathOf(const void* address) {
    Dl_info info{};
    if (dladdr(address, &info) == 0 || !info.dli_fname) return {};
    std::string path = info.dli_fname;
    // The loader keeps the path a module was opened by, relative ones
    // included; taken against the current folder while that is still the one
    // it was opened from, it stays right after the program moves elsewhere.
    // A bare name (a program found in PATH) says nothing about its folder.
    if (path.empty() || path.front() == '/' || path.find('/') == std::string::npos) return path;
    while (path.starts_with("./")) path.erase(0, 2);
    std::error_code error;
    std::filesystem::path folder = std::filesystem::current_path(error);
    return error ? path : (folder / path).string();
}

ModuleHandle HandleOfModule(const void* address) {
    std::string path = ModulePathOf(address);
    if (path.empty()) return nullptr;
    // RTLD_NOLOAD only looks the module up; closing again drops the extra
    // reference and leaves the handle's identity as it was.
    void* handle = dlopen(path.c_str(), RTLD_NOLOAD | RTLD_LAZY);
    if (handle) dlclose(handle);
    return handle;
}

}  // namespace platform
