#include "Module.h"

#include <dlfcn.h>

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
    return info.dli_fname;
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
