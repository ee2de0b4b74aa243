// Files replaced whole: the bytes go to a temporary file beside the final
// name, which is flushed, synced and renamed over that name only once it is
// complete. A kill, a full disk or a failed step leaves the earlier file as
// it was, or the complete new one; never a cut file under the final name.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace platform {

class SafeFile {
public:
    // `path` is the final name. A symbolic link is written through: its
    // target is replaced, the link stays. A device or a pipe is written
    // directly, as there is no file to replace.
    explicit SafeFile(std::string path);
    // Removes the temporary file unless Commit succeeded.
    ~SafeFile();
    SafeFile(const SafeFile&) = delete;
    SafeFile& operator=(const SafeFile&) = delete;

    // Creates the temporary file. False, with Error() set, when an existing
    // file of that name can't be written or no file can be made beside it.
    // Removes temporaries that a killed writer of the same name left behind.
    bool Open();
    // The buffered stream on the temporary file (null before Open).
    std::FILE* Stream() const { return stream_; }
    // Writes all of `bytes`; false on an error (see Error()).
    bool Write(const void* bytes, std::size_t size);
    // Flushes and syncs the temporary file, renames it over the final name
    // and syncs the folder. False, with the temporary removed and the final
    // name untouched, when any part fails.
    bool Commit();
    // Removes the temporary file; the final name stays as it was.
    void Discard();

    // The system's error number of the first failure (0 while all went well),
    // a failed write to Stream() included, and its text, such as
    // "Permission denied" (empty while all went well).
    int Error() const;
    std::string Reason() const;
    const std::string& Path() const { return path_; }

    struct Sink;

private:
    bool Fail();
    int OpenTemp();
    std::FILE* StreamOn(int fd);

    std::string path_;
    std::string target_;  // path_ with symbolic links followed
    std::string temp_;
    std::FILE* stream_ = nullptr;  // owns fd_ (the stream's writes go straight to it)
    Sink* sink_ = nullptr;         // the stream's, freed with it
    int fd_ = -1;
    bool direct_ = false;  // a device or pipe, written as it is
    int error_ = 0;
};

// `path` with its symbolic links followed to the file they end at (which
// need not exist yet).
std::string FollowLinks(std::string path);

// The error number that SafeFile::Open would meet for `path` now (0 when it
// would succeed), checked without changing anything: an existing file must be
// writable by the user and a new file must be possible in its folder.
int ReplaceError(const std::string& path);

// The file that SafeFile writes for `path`: the end of its symbolic links
// (`path` itself when it is no link).
std::string FinalName(const std::string& path);

// Removes the temporaries of `path` that no live writer holds, such as those
// of a killed run.
void RemoveStaleTemporaries(const std::string& path);

// Called when a temporary file has been made, after each write to it, after
// it has been synced and after it has been renamed over its name: the points
// at which a kill must leave either file whole. Tests stop the process there;
// the program leaves it empty.
extern void (*SafeFileCheckpoint)();

}  // namespace platform
