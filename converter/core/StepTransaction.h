// The output files of one step as one transaction: every earlier file the
// step will replace is checked, then copied to its backup, then the step
// writes each output to a temporary, and at the end all of them replace
// their files or none does. A step that fails or is cancelled takes back all
// it did: its outputs and their backups, older backups included, are as they
// were before it. The windows ask the user and show the failures it returns.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/FileIo.h"

namespace strova {

// An output file of a step and its backup (none when empty).
struct StepOutput {
    std::string path;
    std::string backup;
};

enum class StepFault {
    None,
    Unreplaceable,  // an earlier output the user can't replace, or another user's link
    InputChanged,   // an input is no longer the file an earlier step read
    BackupFailed,   // an earlier output can't be copied to its backup
    OpenFailed,     // an output's temporary can't be made (the worker names it)
    WriteFailed,    // an output can't be written whole
    RestoreFailed,  // after a failure, a backup can't be copied back over its output
};

// What failed, which file, and why.
struct StepFailure {
    StepFault fault = StepFault::None;
    std::string path;    // the file it is about
    std::string backup;  // its backup, for BackupFailed and RestoreFailed
    int error = 0;       // the system's error number, or a platform::FileRefusal
    bool Failed() const { return fault != StepFault::None; }
};

class StepTransaction {
public:
    explicit StepTransaction(std::vector<StepOutput> outputs);
    // Abandons a step that neither committed nor was abandoned.
    ~StepTransaction();
    StepTransaction(const StepTransaction&) = delete;
    StepTransaction& operator=(const StepTransaction&) = delete;

    // An input that Begin checks is still the file an earlier step read.
    void ExpectUnchanged(std::string path, const FileIdentity& identity);

    // Removes what a killed run left of the outputs and backups, checks the
    // inputs and every earlier output, and copies each earlier output to its
    // backup: all backups are put in place, or none is and nothing changed.
    StepFailure Begin();
    // The outputs that Begin copied to their backups, in order.
    std::vector<StepOutput> BackedUp() const;

    const std::string& Path(std::size_t output) const;
    // Makes the temporary that output `output` is written to.
    StepFailure Open(std::size_t output);
    // Its stream (null when it is not open), and the error of a failed write.
    std::FILE* Stream(std::size_t output) const;
    int WriteError(std::size_t output) const;

    // Every output replaces its file, or, with the failure returned, none
    // does; the backups then wait for Abandon.
    StepFailure Commit();
    // Takes back what the step did: the temporaries go, and each backup goes
    // or gives way to the older one it replaced. An output that something
    // else changed meanwhile gets its earlier contents back from its backup;
    // where that fails, the backup stays (the failures returned).
    std::vector<StepFailure> Abandon();

private:
    struct Entry;
    void TakeBackBackups();

    std::vector<Entry> entries_;
    std::vector<std::pair<std::string, FileIdentity>> inputs_;
    bool finished_ = false;  // committed or abandoned
};

// "Output File :" and the path, that it can't be written, and the reason on
// a line of its own (in Japanese "出力先のﾌｧｲﾙ：..."); caption "Strova - Error".
std::string OutputWriteErrorText(const std::string& path, bool japanese, const std::string& reason = {});
// An input that changed after an earlier step read it (caption "Strova - Error").
std::string InputChangedText(const std::string& path, bool japanese);
// The message of a failure (caption "Strova - Error"); OpenFailed has none, as
// the worker that opens names it in its own words. A failure of step 3 gives
// the files step 2 wrote (`stepTwoFiles`).
std::string StepFailureText(const StepFailure& failure, bool japanese,
                            const std::vector<std::string>& stepTwoFiles = {});

}  // namespace strova
