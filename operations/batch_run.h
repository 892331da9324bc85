// The batch run: every file of a folder analysed, looked up and moved into
// Renamed_SNES_ROMs, Unknown_ROMs or Duplicates, with the game list and the
// unknown-image log. The window and cartonym-cli both drive it.
#pragma once

#include "common/error.h"
#include "common/message.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace cartonym {

inline constexpr const char* no_files_text = "There are no files in this directory !";
inline constexpr const char* batch_succeeded_text = "Batchmode finished successfull !";
inline constexpr const char* batch_finished_text = "Batchrun finished !";

struct BatchOptions {
    std::string folder;           // the folder F, a file-system path
    std::string database_path;
    bool without_spaces = false; // "Long filenames without spaces"
    bool game_list = false;       // "Create gamelist (games.htm)" ticked
};

enum class BatchOutcome {
    Completed,  // completed
    NoFiles,  // the folder has no files: nothing was created
    Failed, // stopped by a failure
};

struct BatchCounts {
    std::int32_t total = 0;     // files taken up, the current one included ("Total files in directory:")
    std::int32_t renamed = 0;     // "Successfully renamed:"
    std::int32_t already_correct = 0; // "ROMs that had alredy the correct filename:"
    std::int32_t unknown = 0;     // unknown images (duplicates among them not counted)
    std::int32_t duplicates = 0;     // "Duplicates (see subdir Duplicates):"
    std::int32_t roms() const { return renamed + already_correct + unknown + duplicates; }
};

// What the run reports to its caller while it goes on.
struct BatchObserver {
    std::function<void(const std::string& text)> status;        // the status line (Windows-1252)
    std::function<void(float value)> progress;                // 0 to 100
    std::function<void(const std::string& file)> unknown;    // a name for the unknown list (file-system name)
    std::function<void()> unknown_cleared;                   // the unknown list is emptied
    std::function<void(const Message& message)> message;        // a modal message, shown at once
};

struct BatchResult {
    BatchOutcome outcome = BatchOutcome::Completed;
    BatchCounts counts;
    std::vector<std::string> unknown_names; // file-system names of the unknown images, in order
    Message message;                     // the final message, or the error message
    std::optional<Error> error;        // the failure that stopped the run
    std::string Dateipfad;               // the file in hand at the end
};

// One whole run. The observer's meldung is called at the moment the window
// shows its box; the caller sets the panel values after the return. Failures
// never leave it: they end in BatchOutcome::Failed with the "Error !"
// message (its file path escaped as in unknown.log where Windows-1252 lacks
// a character).
BatchResult Batchrun(const BatchOptions& options, const BatchObserver& observer = {});

} // namespace cartonym
