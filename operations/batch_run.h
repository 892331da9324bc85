// SPDX-License-Identifier: GPL-3.0-or-later
// The batch run: every file of a folder analysed, looked up and moved into
// Renamed_SNES_ROMs, Unknown_ROMs or Duplicates, with the game list and the
// unknown-image log. The window and cartonym-cli both drive it.
#pragma once

#include "common/error.h"
#include "common/message.h"
#include "operations/companions.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace cartonym {

class CatalogueTier;
enum class IdentifiedBy;

// A failure to record a change (the journal's disk full, say): it names
// the file the record was to go into, and the run's message shows that
// file instead of the image in hand.
class RecordingFailure : public Error {
public:
    RecordingFailure(ErrorNumber number, std::string path)
        : Error(number)
        , path_(std::move(path))
    { }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// The status line's texts at the end of a batch run.
inline constexpr const char* no_files_text = "There are no files in this directory !";
inline constexpr const char* batch_succeeded_text = "Batchmode finished successfull !";
inline constexpr const char* batch_finished_text = "Batchrun finished !";

// Receives every change a run makes to the disk, each before it is made,
// so that the run can be taken back. Failures of the recorder stop the run.
class RunRecorder {
public:
    virtual ~RunRecorder() = default;
    // An output folder the run has just created.
    virtual void folder_created(const std::string& path) = 0;
    // A move about to be made (the entry at from, identified by the
    // identity of what from names now).
    virtual void moving(const std::string& from, const std::string& to) = 0;
    // The move announced last by moving() is made: from is now at to.
    virtual void moved(const std::string& from, const std::string& to)
    {
        static_cast<void>(from);
        static_cast<void>(to);
    }
    // The move announced last by moving() (or the fresh link announced by
    // link_making()) failed with error (after its rename, a link's new
    // target may have failed: then the move did happen).
    virtual void move_failed(const std::string& from, const std::string& to, ErrorNumber error)
    {
        static_cast<void>(from);
        static_cast<void>(to);
        static_cast<void>(error);
    }
    // A name about to be reserved for the move announced last, by creating
    // an empty file there (on a volume with neither rename's no-replace
    // flag nor hard links); the move then renames its file over it.
    virtual void reserving(const std::string& path) { static_cast<void>(path); }
    // An entry about to be appended to the unknown-image log at log_path.
    virtual void log_appending(const std::string& log_path) = 0;
    // A fresh link about to be made at path, naming target (a link to an
    // image of the folder, filed after the image has moved).
    virtual void link_making(const std::string& path, const std::string& target) = 0;
    // The game list the run has placed at path.
    virtual void game_list_placed(const std::string& path) = 0;
    // The earlier game list at path, about to be removed by a run that met
    // no image.
    virtual void game_list_removing(const std::string& path) = 0;
    // The run was stopped between two files because its caller asked
    // (finished() follows).
    virtual void interrupted() { }
    // The run has ended (whatever its outcome).
    virtual void finished() = 0;
};

struct BatchOptions {
    std::string folder; // the folder F, a file-system path
    std::string database_path;
    bool without_spaces = false; // "Long filenames without spaces"
    bool game_list = false;      // "Create gamelist (games.htm)" ticked
    bool dry_run = false;        // take every decision, change nothing on disk
    bool archives = true;        // look inside archives (false: every file read raw)
    bool companions = false;     // companion files (saves, patches ...) move with their image
    // The catalogues that verify files before the database names them;
    // nullptr: none in use.
    const CatalogueTier* catalogues = nullptr;
    RunRecorder* recorder = nullptr;
};

enum class BatchOutcome {
    completed,   // completed
    no_files,    // the folder has no files: nothing was created
    failed,      // stopped by a failure
    interrupted, // stopped between two files because the caller asked
};

struct BatchCounts {
    std::int32_t total = 0;           // files taken up, the current one included ("Total files in directory:")
    std::int32_t renamed = 0;         // "Successfully renamed:"
    std::int32_t already_correct = 0; // "ROMs that had alredy the correct filename:"
    std::int32_t unknown = 0;         // unknown images (those filed in Duplicates too)
    std::int32_t duplicates = 0;      // "Duplicates (see subdir Duplicates):"
    std::int32_t verified = 0;        // renamed and already-correct files a catalogue named
    std::int32_t roms() const { return renamed + already_correct + unknown + duplicates; }
};

// The captions of the batch statistics panel, top to bottom.
inline constexpr const char* total_caption = "Total files in directory:";
inline constexpr const char* roms_caption = "SNES ROMs:";
inline constexpr const char* already_correct_caption = "ROMs that had alredy the correct filename:";
inline constexpr const char* renamed_caption = "Successfully renamed:";
inline constexpr const char* duplicates_caption = "Duplicates (see subdir Duplicates):";

// What the run did, or in a dry run would do, with one file.
enum class FileOutcome { renamed, already_correct, duplicate, unknown, not_an_image, passed_over };

// The outcome's name in reports and JSON: "renamed", "already_correct",
// "duplicate", "unknown", "not_image" or "passed_over".
inline const char* outcome_name(FileOutcome outcome)
{
    constexpr const char* names[] = {"renamed", "already_correct", "duplicate", "unknown", "not_image", "passed_over"};
    return names[static_cast<int>(outcome)];
}

struct PlannedFile {
    std::string file; // the file-system name in the folder
    FileOutcome outcome = FileOutcome::not_an_image;
    std::string destination;               // relative to the folder; "" when the file stays
    IdentifiedBy identified_by{};          // the tier that named the file (none for an unknown image)
    std::string reason;                    // why an archive is no image or is passed over; "" otherwise
    std::vector<CompanionMove> companions; // the companions that went, or would go, with the image
    std::string companion_note;            // why a file that looks like a companion did not move; "" otherwise
};

inline PlannedFile planned_file(const std::string& file, FileOutcome outcome)
{
    PlannedFile planned;
    planned.file = file;
    planned.outcome = outcome;
    return planned;
}

// What the run reports to its caller while it goes on.
struct BatchObserver {
    std::function<void(const std::string& text)> status;  // the status line (Windows-1252)
    std::function<void(float value)> progress;            // 0 to 100
    std::function<void(const std::string& file)> unknown; // a name for the unknown list (file-system name)
    std::function<void()> unknown_cleared;                // the unknown list is emptied
    std::function<void(const Message& message)> message;  // a modal message, shown at once
    std::function<bool()> stop_requested;                 // asked before each file
    // A file taken up: its number (from 1) of the run's count, its file-system name.
    std::function<void(std::int32_t number, std::int32_t count, const std::string& file)> file_started;
};

struct BatchResult {
    BatchOutcome outcome = BatchOutcome::completed;
    BatchCounts counts;
    std::vector<std::string> unknown_names; // file-system names of the unknown images, in order
    std::vector<PlannedFile> plan;          // every file taken up, in order
    Message message;                        // the final message, or the error message
    std::optional<Error> error;             // the failure that stopped the run
    bool setup_failed = false;              // the failure came before the first file (folder, database, list)
    std::string Dateipfad;                  // the file (or folder) in hand at the end
    std::int32_t files_in_folder = 0;       // the files (and links) the run was to take up
    std::int32_t companions_moved = 0;      // companions moved (in a dry run: that would move)
    bool met_companions = false;            // the folder holds companions (moved or not)
};

// One whole run. The observer's message is called at the moment the window
// shows its box; the caller sets the panel values after the return. Failures
// never leave it: they end in BatchOutcome::failed with the "Error !"
// message (its path escaped as in unknown.log where Windows-1252 lacks a
// character).
BatchResult Batchrun(const BatchOptions& options, const BatchObserver& observer = {});

} // namespace cartonym
