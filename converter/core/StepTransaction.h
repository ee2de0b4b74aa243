// The output files of one step as one transaction: every earlier file the
// step will replace is checked and copied to a temporary beside its backup,
// the step writes each output to a temporary, and at the end the backups and
// the outputs all replace their files, or none does. A rollback journal
// (core/StepJournal) makes that hold when the process is killed at any
// moment: the next start takes the step back or finishes it. A step that
// fails or is cancelled leaves every file as it was. The windows ask the
// user and show the failures it returns.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/FileIo.h"
#include "core/StepJournal.h"

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
    JournalFailed,  // the step's journal can't be written
    BackupFailed,   // an earlier output can't be copied to its backup
    OpenFailed,     // an output's temporary can't be made (the worker names it)
    WriteFailed,    // an output can't be written whole
};

// What failed, which file, and why.
struct StepFailure {
    StepFault fault = StepFault::None;
    std::string path;    // the file it is about (the journal's for JournalFailed)
    std::string backup;  // its backup, for BackupFailed
    int error = 0;       // the system's error number, or a platform::FileRefusal
    bool Failed() const { return fault != StepFault::None; }
};

class StepTransaction {
public:
    // `earlierStep`: the files an earlier step of the run wrote, which stay
    // when this one fails; `journalFolder`: where the step's journal goes.
    explicit StepTransaction(std::vector<StepOutput> outputs, std::vector<std::string> earlierStep = {},
                             std::string journalFolder = StepJournalFolder());
    // Abandons a step that neither committed nor was abandoned.
    ~StepTransaction();
    StepTransaction(const StepTransaction&) = delete;
    StepTransaction& operator=(const StepTransaction&) = delete;

    // An input that Begin and Commit check is still the file an earlier step read.
    void ExpectUnchanged(std::string path, const FileIdentity& identity);

    // Checks the inputs and every earlier output, starts the journal and
    // copies each earlier output to a temporary of its backup. Nothing the
    // user sees has changed, whatever it returns.
    StepFailure Begin();

    const std::string& Path(std::size_t output) const;
    // Makes the temporary that output `output` is written to.
    StepFailure Open(std::size_t output);
    // Its stream (null when it is not open), and the error of a failed write.
    std::FILE* Stream(std::size_t output) const;
    int WriteError(std::size_t output) const;

    // Checks the inputs again, then every backup and output replaces its
    // file, or, with the failure returned, none does: the files already
    // replaced are put back (see OutcomeText for any that could not be).
    StepFailure Commit();
    // After Commit: the outputs whose earlier file went to its backup, in order.
    std::vector<StepOutput> BackedUp() const;
    // Removes the step's temporaries and its journal; the files stay as they were.
    void Abandon();

    // The message of a failure (caption "Strova - Error") and what became
    // of the user's files; OpenFailed has none, as the worker that opens
    // names it in its own words.
    std::string FailureText(const StepFailure& failure, bool japanese) const;
    // What became of the user's files after a failure: nothing changed, or,
    // after an earlier step, that its files stay written; and each earlier
    // file that could not be put back, with where it is kept.
    std::string OutcomeText(bool japanese, const std::string& lineBreak = "\r") const;

private:
    struct Entry;
    StepFailure CheckInputs() const;
    StepFailure CopyEarlier(Entry& entry);
    StepFailure RefreshBackups();
    StepFailure Replace();
    StepFailure TakeBack(const StepFailure& failure);

    std::vector<Entry> entries_;
    std::vector<std::string> earlierStep_;
    std::string journalFolder_;
    std::vector<std::pair<std::string, FileIdentity>> inputs_;
    std::unique_ptr<StepJournal> journal_;
    std::vector<KeptFile> unrestored_;  // earlier files a failed commit could not put back
    bool finished_ = false;             // committed or abandoned
};

// "Output File :" and the path, that it can't be written, and the reason on
// a line of its own (in Japanese "出力先のﾌｧｲﾙ：..."); caption "Strova - Error".
std::string OutputWriteErrorText(const std::string& path, bool japanese, const std::string& reason = {});
// The journal that lets a killed step be taken back can't be written (caption
// "Strova - Error").
std::string JournalFailedText(const std::string& path, bool japanese, int error);
// An input that changed after an earlier step read it (caption "Strova - Error").
std::string InputChangedText(const std::string& path, bool japanese);

}  // namespace strova
