// A step's rollback journal. Before any of its names changes, a step writes
// and syncs which files it will replace and under which names it keeps the
// earlier ones; once all are replaced it marks the journal, removes the
// earlier files and then the journal. A start that finds a journal takes its
// step back (unmarked) or finishes it (marked), so that a step killed at any
// moment leaves its files all as they were before it, or all as after it,
// and no temporary of them behind.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace strova {

// A file a step puts in place of another: `target` gets the file made at
// `temp`, and the file `target` held, if any, keeps the name `kept` until the
// step is whole (empty: none). The made file is told by its device, inode,
// size and modification time, so that a file another program made later
// under a reused inode number is not taken for it.
struct Replacement {
    std::string target, kept, temp;
    std::uint64_t device = 0, inode = 0, size = 0;
    std::int64_t modified = 0;  // nanoseconds
};
// The replacement of `target` by the file now at `temp`.
Replacement ReplacementOf(const std::string& target, const std::string& kept, const std::string& temp);

// An earlier file that could not be put back under its name: where it is
// kept, and the system's reason.
struct KeptFile {
    std::string path, keptAs;
    int error = 0;
};

class StepJournal {
public:
    // A new journal in `folder` that names the files the step makes
    // temporaries of; made and synced, or null with the reason in `error`.
    static std::unique_ptr<StepJournal> Create(const std::string& folder, const std::vector<std::string>& names,
                                               int& error);
    // The journal at `path` as a run left it; null when it is not this
    // user's own or a live step holds it.
    static std::unique_ptr<StepJournal> Read(const std::string& path);
    ~StepJournal();
    StepJournal(const StepJournal&) = delete;
    StepJournal& operator=(const StepJournal&) = delete;

    const std::string& Path() const { return path_; }
    // Adds the replacements, before any of them is made; 0 or the error number.
    int Record(const std::vector<Replacement>& replacements);
    // The step is whole: from here on it is finished, not taken back.
    int MarkCommitted();
    // Takes the step back, or finishes it when it was marked: see below.
    std::vector<KeptFile> Settle();
    // Puts every earlier file recorded back under its name and removes the
    // step's new files and temporaries. The journal goes when all is back;
    // otherwise it stays for the next start, and the files not put back are
    // returned.
    std::vector<KeptFile> RollBack();
    // After MarkCommitted: removes the earlier files kept aside, the step's
    // temporaries and the journal.
    void Finish();

private:
    StepJournal(std::string path, int fd);
    int Append(const std::string& bytes, bool sync);
    void RemoveTemporaries() const;
    void Remove();

    std::string path_;
    int fd_ = -1;  // holds the journal's lock; open for appending while its step runs
    std::vector<std::string> names_;
    std::vector<Replacement> replacements_;
    bool committed_ = false;
};

// The folder of a user's step journals: beside the settings store, the one
// folder every start of the user finds, whatever folder it starts in.
std::string StepJournalFolder();

// Takes back or finishes the step of every journal in `folder` (run at a
// start, while no other step of the user can run). Returns the earlier files
// that could not be put back; their journals stay for the next start.
std::vector<KeptFile> RecoverSteps(const std::string& folder);

// The message that an earlier file could not be put back and where it is
// kept, with the reason (caption "Strova - Error").
std::string KeptFileText(const KeptFile& kept, bool japanese, const std::string& lineBreak = "\r");

}  // namespace strova
