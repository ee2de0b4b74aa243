#include "Module.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace platform {

namespace {
thread_local std::string lastError;

void KeepError() {
    const char* text = dlerror();
    lastError = text ? text : "";
}

// The header of the module this code runs in: a module to be loaded must
// match its class, byte order and machine.
const ElfW(Ehdr)& OwnHeader() {
    Dl_info info{};
    dladdr(reinterpret_cast<const void*>(&OwnHeader), &info);
    return *static_cast<const ElfW(Ehdr)*>(info.dli_fbase);
}

// Whether [offset, offset + size) lies inside a file of `fileSize` bytes.
bool Inside(std::uint64_t offset, std::uint64_t size, std::uint64_t fileSize) {
    return offset <= fileSize && size <= fileSize - offset;
}

bool ReadAt(int fd, void* buffer, std::size_t size, std::uint64_t offset) {
    return pread(fd, buffer, size, static_cast<off_t>(offset)) == static_cast<ssize_t>(size);
}

// Whether `header` (the first bytes of a file of `fileSize` bytes) starts a
// shared object this process can load, with its tables inside the file.
bool FitsThisMachine(const ElfW(Ehdr)& header, std::uint64_t fileSize) {
    const ElfW(Ehdr)& own = OwnHeader();
    return std::memcmp(header.e_ident, ELFMAG, SELFMAG) == 0 && header.e_ident[EI_CLASS] == own.e_ident[EI_CLASS] &&
           header.e_ident[EI_DATA] == own.e_ident[EI_DATA] && header.e_ident[EI_VERSION] == EV_CURRENT &&
           header.e_type == ET_DYN && header.e_machine == own.e_machine &&
           header.e_phentsize == sizeof(ElfW(Phdr)) && header.e_phnum > 0 &&
           Inside(header.e_phoff, std::uint64_t{header.e_phnum} * sizeof(ElfW(Phdr)), fileSize) &&
           (header.e_shnum == 0 ||
            Inside(header.e_shoff, std::uint64_t{header.e_shnum} * header.e_shentsize, fileSize));
}

// The loader maps every segment straight from the file: a file cut short
// (an interrupted copy) would fault inside dlopen when it touches the
// missing pages, so such a file is refused before the loader sees it. A file
// that can't be opened is left to the loader, which tells why.
bool IsDamaged(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info {};
    ElfW(Ehdr) header{};
    bool whole = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && ReadAt(fd, &header, sizeof header, 0) &&
                 FitsThisMachine(header, static_cast<std::uint64_t>(info.st_size));
    for (int i = 0; whole && i < header.e_phnum; ++i) {
        ElfW(Phdr) segment{};
        whole = ReadAt(fd, &segment, sizeof segment, header.e_phoff + std::uint64_t{sizeof segment} * i) &&
                Inside(segment.p_offset, segment.p_filesz, static_cast<std::uint64_t>(info.st_size));
    }
    close(fd);
    return !whole;
}

// The file the loader would open for `name`: a name with a '/' is that file;
// a bare name is looked for along LD_LIBRARY_PATH first, as the loader does
// (the loader's cache and the system folders hold installed libraries).
std::string FileToCheck(const std::string& name) {
    if (name.find('/') != std::string::npos) return name;
    const char* list = std::getenv("LD_LIBRARY_PATH");
    std::string folders = list ? list : "";
    for (std::size_t start = 0; list && start <= folders.size();) {
        std::size_t end = std::min(folders.find_first_of(":;", start), folders.size());
        std::string folder = folders.substr(start, end - start);
        std::string candidate = (folder.empty() ? std::string(".") : folder) + "/" + name;
        if (access(candidate.c_str(), F_OK) == 0) return candidate;
        start = end + 1;
    }
    return {};
}

}  // namespace

ModuleHandle LoadModule(const std::string& path) {
    // The loader takes an empty name for the program itself.
    if (path.empty()) {
        lastError = "no module name";
        return nullptr;
    }
    std::string file = FileToCheck(path);
    if (!file.empty() && IsDamaged(file)) {
        lastError = file + ": not a whole shared object of this machine";
        return nullptr;
    }
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
