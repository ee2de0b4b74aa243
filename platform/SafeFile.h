// Files replaced whole: the bytes go to a temporary file beside the final
// name, which is flushed, synced and renamed over that name only once it is
// complete. A kill, a full disk or a failed step leaves the earlier file as
// it was, or the complete new one; never a cut file under the final name.
#pragma once

#include <cstddef>
#include <cstdio>
#include <ctime>
#include <string>

#include "platform/Files.h"

namespace platform {

class SafeFile {
public:
    // `path` is the final name. A symbolic link is written through (its
    // target is replaced, the link stays) where FollowPermittedLinks follows
    // it. Only a regular file is replaced: a folder, a pipe or a device under
    // the name is refused.
    explicit SafeFile(std::string path);
    // Removes the temporary file unless Commit succeeded.
    ~SafeFile();
    SafeFile(const SafeFile&) = delete;
    SafeFile& operator=(const SafeFile&) = delete;

    // Creates the temporary file. It takes the permissions, owner and group
    // of the file it replaces; given `like` (an open file), those of that
    // file instead, and at Sync its times: a copy made so is the file as the
    // system's copy makes it. Owner and group are kept where the process may
    // give them. False, with Error() set, when an existing file of that name
    // can't be written or no file can be made beside it. Removes temporaries
    // that a killed writer of the same name left behind.
    bool Open(int like = -1);
    // The buffered stream on the temporary file (null before Open).
    std::FILE* Stream() const { return stream_; }
    // Writes all of `bytes`; false on an error (see Error()).
    bool Write(const void* bytes, std::size_t size);
    // Flushes and syncs the temporary file, so that only its rename is left
    // (Commit does it when it has not been done). False, with the temporary
    // removed, when a write to it failed.
    bool Sync();
    // Renames the temporary over the final name and syncs the folder. False,
    // with the temporary removed and the final name untouched, when any part
    // fails.
    bool Commit();
    // As Commit, for one of several files that are put in place together:
    // the file the final name held, if any, stays under `keepAs` too (a name
    // from NewKeptName beside it) until the caller removes it; a second link
    // where the folder takes one, else the file itself is moved there first.
    // The caller syncs the folder (SyncFolderOf) once all its files are in
    // place. On a failure the final name holds what it held before, but where
    // a file moved to `keepAs` could not be moved back, which then holds it.
    bool CommitKeeping(const std::string& keepAs);
    // Removes the temporary file; the final name stays as it was.
    void Discard();

    // The system's error number of the first failure (0 while all went well),
    // a failed write to Stream() included, or a FileRefusal; and its text,
    // such as "Permission denied" (empty while all went well).
    int Error() const;
    std::string Reason() const;
    const std::string& Path() const { return path_; }
    // After Open: the file that is replaced (Path() with its permitted links
    // followed), and the temporary the new contents are written to.
    const std::string& Target() const { return target_; }
    const std::string& Temp() const { return temp_; }

    struct Sink;

private:
    bool Fail();
    int OpenTemp(int like);
    std::FILE* StreamOn(int fd);
    bool KeepReplaced(const std::string& keepAs, bool& kept, bool& moved);
    bool Rename(const std::string& keepAs);

    std::string path_;
    std::string target_;  // path_ with its permitted links followed
    std::string temp_;
    std::FILE* stream_ = nullptr;  // owns fd_ (the stream's writes go straight to it)
    Sink* sink_ = nullptr;         // the stream's, freed with it
    int fd_ = -1;
    bool synced_ = false;
    bool keepTimes_ = false;  // times_ go to the new file
    std::timespec times_[2] = {};
    int error_ = 0;
};

// The error number (or FileRefusal) that SafeFile::Open would meet for
// `path` now (0 when it would succeed), checked without changing anything:
// an existing file must be a regular file the user may write, and a new file
// must be possible in its folder.
int ReplaceError(const std::string& path);

// Removes the temporaries of `path` that no live writer holds, such as those
// of a killed run. A temporary never holds the only copy of a file: a file
// kept by CommitKeeping has a name of another form, which this leaves alone.
void RemoveStaleTemporaries(const std::string& path);

// Syncs the folder that `path` lies in, so that what was renamed or made in
// it is on the disk: 0 or the error number.
int SyncFolderOf(const std::string& path);

// A new hidden name beside `target` under which CommitKeeping may keep the
// file it replaces; no file has it yet.
std::string NewKeptName(const std::string& target);

// Calls SafeFileCheckpoint when it is set: for writers of other files whose
// calls are points at which a kill must be survived too.
void Checkpoint();

// Called when a temporary file has been made, after each write to it, after
// it has been synced and after it has been renamed over its name: the points
// at which a kill must leave either file whole. Tests stop the process there;
// the program leaves it empty.
extern void (*SafeFileCheckpoint)();

}  // namespace platform
