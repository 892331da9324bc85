// SPDX-License-Identifier: GPL-3.0-or-later
#include "operations/batch_run.h"

#include "operations/batch_companions.h"
#include "operations/batch_filer.h"
#include "operations/run_setup.h"

#include "analysis/archive_reader.h"
#include "analysis/header_detection.h"
#include "common/file_operations.h"
#include "common/program_info.h"
#include "common/system_calls.h"
#include "common/windows1252.h"
#include "database_tools/catalogue_tier.h"
#include "naming/database_index.h"
#include "naming/file_names.h"
#include "naming/name_database.h"
#include "operations/file_mode.h"
#include "operations/folder_listing.h"
#include "reports/game_list.h"
#include "reports/unknown_log.h"

#include <algorithm>
#include <initializer_list>
#include <map>
#include <memory>
#include <utility>

namespace cartonym {
namespace {

// What the run decides about one file before it changes anything; the
// same in the dry run and the real run.
struct FileDecision {
    FileOutcome outcome = FileOutcome::passed_over; // not_an_image, passed_over, unknown, renamed or already_correct
    RomAnalysis analysis;
    LookupResult names;
    std::string Neuer_name;    // the new name in the chosen style
    std::string target;        // where the image goes: its output folder, its name there
    bool as_duplicate = false; // filed as if the name were taken (an image named like the log)
    bool verified = false;     // a catalogue named it
    FileAnalysis file;         // read raw, or as an archive
};

// One run with its state. Every step goes through step, which applies the
// run's failure rules: a path/file access error (75) passes the step over,
// everything else ends the run (caught in run()). The log entry of an
// unknown image is no such step: any failure to write it ends the run.
class Run {
public:
    Run(const BatchOptions& options, const BatchObserver& observer)
        : options_(options)
        , observer_(observer)
        , F_(options.folder)
        , filer_(filer_for(options))
    { }

    BatchResult run();

private:
    // Runs action: false when it fails with one of the errors that pass
    // it over, any other failure thrown.
    template <typename Action> static bool attempt(Action&& action, std::initializer_list<ErrorNumber> passing)
    {
        try {
            action();
            return true;
        } catch (const Error& error) {
            if (std::ranges::find(passing, error.number()) == passing.end())
                throw;
            return false;
        }
    }

    template <typename Action> static bool step(Action&& action)
    {
        return attempt(action, {ErrorNumber::path_file_access_error});
    }

    // A move into Duplicates: when the name is taken there too (58, an
    // earlier run) or the move is passed over (75), the file stays where
    // it is; it is a duplicate all the same. True when it moved.
    template <typename Move> static bool into_duplicates(Move&& move)
    {
        return attempt(move, {ErrorNumber::file_already_exists, ErrorNumber::path_file_access_error});
    }

    // Runs a setup step: a failure names path and stops the run before
    // anything has moved.
    template <typename Action> void setup(const std::string& path, Action&& action)
    {
        result_.Dateipfad = path;
        action();
    }

    std::string folder_path(const char* folder) const { return F_ + Trenner(F_) + folder; }

    // The path of an entry of an output folder: F, Trenner, folder, "/", name.
    std::string output_path(const char* folder, const std::string& name) const
    {
        return folder_path(folder) + path_separator + name;
    }

    std::string relative(const std::string& path) const
    {
        const std::string prefix = F_ + Trenner(F_);
        return path.starts_with(prefix) ? path.substr(prefix.size()) : path;
    }

    void status(const std::string& text) const
    {
        if (observer_.status)
            observer_.status(text);
    }
    void progress(float value)
    {
        progress_ = value;
        if (observer_.progress)
            observer_.progress(value);
    }
    // The bar advances before a file is examined, and never beyond 100.
    void advance(std::int32_t count)
    {
        const double sum = static_cast<double>(progress_) + 100.0 / count;
        if (sum <= 100.0)
            progress(static_cast<float>(sum));
    }
    void report(const Message& message)
    {
        result_.message = message;
        if (observer_.message)
            observer_.message(message);
    }
    bool stop_requested() const { return observer_.stop_requested && observer_.stop_requested(); }

    // The outcome of moving an image into its output folder.
    enum class Filing { filed, duplicate, passed_over };
    struct Filed {
        Filing filing = Filing::passed_over;
        std::string destination; // where the image went, "" when it stayed
    };
    Filed file_image(const FileDecision& decision);
    FileDecision decide(const std::string& Aktuelle_datei);
    std::optional<FileDecision> verified_decision(const LookedAtFile& look);
    void check_setup();
    std::vector<ListedFile> prepare();
    void create_output_folders();
    bool take_up_files(
        const std::vector<ListedFile>& files, const std::vector<std::pair<std::string, std::string>>& links);
    void complete();
    void process_file(const std::string& Aktuelle_datei, bool is_link);
    void process_one_file(const std::string& Aktuelle_datei, bool is_link);
    void find_companions(std::vector<ListedFile>& files);
    void move_companions(const std::string& image, PlannedFile& planned);
    void note_unknown(const FileDecision& decision);
    void account(const FileDecision& decision, Filing filing, PlannedFile& planned);
    void file_link_to_moved_image(const std::string& link, const std::string& image);
    void remove_unused_folders();
    void end(BatchOutcome outcome, const Message& message);
    void fail(const std::string& text);
    Message final_message() const;

    const BatchOptions& options_;
    const BatchObserver& observer_;
    const std::string F_;
    std::string Aktuelle_datei_;
    BatchResult result_;
    std::unique_ptr<Filer> filer_;
    float progress_ = 0;
    std::map<std::string, std::string> moved_to_; // file name in F -> its path after the run
    bool current_is_link_ = true;                 // the file in hand may be a link
    bool started_ = false;                        // the first file has been taken up
    bool last_was_image_ = false;                 // the file taken up last is an image
    std::optional<CompanionFinder> companions_;   // with options.companions
    std::vector<std::string> left_alone_;         // companions of a file that is no image: taken up on their own
};

// Analysis, lookup and the new name. A file that cannot be examined or
// looked up (75) stays where it is and counts nowhere.
FileDecision Run::decide(const std::string& Aktuelle_datei)
{
    LookedAtFile look;
    if (!step([&] { look = look_at_file(result_.Dateipfad, options_.archives, options_.catalogues); }))
        return {};
    // Catalogues verify files read raw and archives of one image.
    std::optional<FileDecision> verified = options_.catalogues ? verified_decision(look) : std::nullopt;
    FileDecision decision = verified ? std::move(*verified) : FileDecision();
    decision.analysis = look.file.analysis;
    decision.file = std::move(look.file);
    if (verified)
        return decision;
    if (!decision.analysis.Rom_ok) {
        decision.outcome = decision.file.images > 1 ? FileOutcome::passed_over : FileOutcome::not_an_image;
        return decision;
    }
    if (!step([&] { decision.names = Finde_romname(decision.analysis, options_.database_path); }))
        return decision;
    const bool unknown = decision.names.Neuer_name.empty();
    decision.Neuer_name = unknown ? std::string(unknown_text) : decision.names.Neuer_name;
    if (options_.without_spaces)
        Baue_dateiname(decision.Neuer_name);
    if (unknown) {
        // The log's own name is never given to an image: such an image is
        // filed as if the name were taken.
        decision.outcome = FileOutcome::unknown;
        decision.as_duplicate = Aktuelle_datei == unknown_log_name;
        decision.target = output_path(unknown_folder_name, Aktuelle_datei);
        return decision;
    }
    // A name from the database that would lead out of the folder is refused
    // like a move the file system rejects.
    if (!is_plain_file_name(decision.Neuer_name))
        throw Error(ErrorNumber::bad_file_name);
    const std::string target_name = file_system_name(decision.Neuer_name);
    decision.outcome =
        join_path(F_, target_name) == result_.Dateipfad ? FileOutcome::already_correct : FileOutcome::renamed;
    decision.target = output_path(renamed_folder_name, target_name);
    return decision;
}

// The first tier: a file a catalogue verifies is filed under its names (in
// the game list as Windows-1252 with character references); one that cannot
// be verified is passed over; nullopt when no catalogue knows it.
std::optional<FileDecision> Run::verified_decision(const LookedAtFile& look)
{
    FileDecision decision;
    Verification verification;
    if (!step(
            [&] { verification = options_.catalogues->verify_file(result_.Dateipfad, look, options_.without_spaces); }))
        return decision; // passed over
    if (!verification.entry)
        return std::nullopt;
    decision.verified = true;
    decision.names.Voller_name = cp1252_with_character_references(verification.entry->game_name);
    decision.Neuer_name = cp1252_with_character_references(verification.new_name);
    if (!is_plain_file_name(verification.new_name))
        throw Error(ErrorNumber::bad_file_name);
    decision.outcome =
        join_path(F_, verification.new_name) == result_.Dateipfad ? FileOutcome::already_correct : FileOutcome::renamed;
    decision.target = output_path(renamed_folder_name, verification.new_name);
    // The game list's own name is never given to an image: the list would
    // take its place.
    decision.as_duplicate = ascii_lower(verification.new_name) == game_list_name;
    return decision;
}

// Moves the image to its target; when the name is taken, into Duplicates
// under its own name.
Run::Filed Run::file_image(const FileDecision& decision)
{
    if (!decision.as_duplicate) {
        try {
            filer_->move(result_.Dateipfad, decision.target, current_is_link_);
            return {Filing::filed, decision.target};
        } catch (const Error& error) {
            if (error.number() == ErrorNumber::path_file_access_error)
                return {Filing::passed_over, ""};
            if (error.number() != ErrorNumber::file_already_exists)
                throw;
        }
    }
    const std::string duplicate = output_path(duplicates_folder_name, Aktuelle_datei_);
    const bool moved = into_duplicates([&] { filer_->move(result_.Dateipfad, duplicate, current_is_link_); });
    ++result_.counts.duplicates;
    return {Filing::duplicate, moved ? duplicate : ""};
}

// An unknown image is listed and its log entry written before it moves,
// so that a failure to write the entry stops the run with the image still
// in place, and the next run writes it again.
void Run::note_unknown(const FileDecision& decision)
{
    ++result_.counts.unknown;
    result_.unknown_names.push_back(Aktuelle_datei_);
    if (observer_.unknown)
        observer_.unknown(Aktuelle_datei_);
    const std::string log_folder = folder_path(unknown_folder_name) + path_separator;
    try {
        filer_->append_log_entry(log_folder, Aktuelle_datei_, decision.analysis);
    } catch (const Error& error) {
        // A log that is no plain file of its own (75) stops the run too,
        // naming the log: an entry that goes nowhere is not passed over.
        if (error.number() == ErrorNumber::path_file_access_error)
            result_.Dateipfad = join_path(log_folder, unknown_log_name);
        throw;
    }
}

void Run::account(const FileDecision& decision, Filing filing, PlannedFile& planned)
{
    BatchCounts& counts = result_.counts;
    if (decision.outcome == FileOutcome::unknown) {
        // One that lands in Duplicates stays in the unknown count too: it is
        // listed and logged, and the final message tells of the log.
        planned.outcome = filing == Filing::duplicate ? FileOutcome::duplicate
            : filing == Filing::filed                 ? FileOutcome::unknown
                                                      : FileOutcome::passed_over;
        return;
    }
    const bool already_correct = decision.outcome == FileOutcome::already_correct;
    if (filing == Filing::filed)
        ++(already_correct ? counts.already_correct : counts.renamed);
    if (filing == Filing::filed && decision.verified)
        ++counts.verified;
    planned.identified_by = decision.verified ? IdentifiedBy::catalogue : IdentifiedBy::database;
    planned.outcome = filing == Filing::duplicate ? FileOutcome::duplicate : decision.outcome;
    if (options_.game_list) {
        const RomAnalysis& analysis = decision.analysis;
        step([&] {
            filer_->add_game(
                {decision.names.Voller_name, decision.Neuer_name, analysis.Land_text, analysis.Dateityp_text});
        });
    }
}

void Run::process_one_file(const std::string& Aktuelle_datei, bool is_link)
{
    last_was_image_ = false;
    current_is_link_ = is_link;
    Aktuelle_datei_ = Aktuelle_datei;
    result_.Dateipfad = join_path(F_, Aktuelle_datei);
    PlannedFile& planned = result_.plan.emplace_back(planned_file(Aktuelle_datei, FileOutcome::passed_over));
    const FileDecision decision = decide(Aktuelle_datei);
    planned.reason = passed_over_reason(decision.file);
    if (decision.outcome == FileOutcome::not_an_image)
        planned.outcome = FileOutcome::not_an_image;
    if (decision.outcome == FileOutcome::not_an_image || decision.outcome == FileOutcome::passed_over)
        return;
    last_was_image_ = true;
    if (decision.outcome == FileOutcome::unknown)
        note_unknown(decision);
    const Filed filed = file_image(decision);
    if (filed.filing == Filing::passed_over && decision.outcome != FileOutcome::unknown)
        return; // not filed: neither counted nor listed
    account(decision, filed.filing, planned);
    planned.destination = relative(filed.destination);
    if (!filed.destination.empty())
        moved_to_[Aktuelle_datei] = filed.destination;
}
// A file, then its companions: beside the image wherever it went (else they
// stay); those of a file that is no image are files of their own.
void Run::process_file(const std::string& Aktuelle_datei, bool is_link)
{
    process_one_file(Aktuelle_datei, is_link);
    if (!companions_)
        return;
    PlannedFile& planned = result_.plan.back();
    if (const auto shared = companions_->shared().find(Aktuelle_datei); shared != companions_->shared().end())
        planned.companion_note = shared_companion_text(shared->second);
    const std::vector<std::string>& companions = companions_->of(Aktuelle_datei);
    if (!last_was_image_)
        left_alone_.insert(left_alone_.end(), companions.begin(), companions.end());
    else
        move_companions(Aktuelle_datei, planned);
}

void Run::move_companions(const std::string& image, PlannedFile& planned)
{
    const auto moved = moved_to_.find(image);
    planned.companions =
        move_companions_of(*filer_, *companions_, F_, image, moved == moved_to_.end() ? std::string() : moved->second);
    for (CompanionMove& move : planned.companions) {
        move.to = relative(move.to);
        result_.companions_moved += move.outcome == CompanionOutcome::moved ? 1 : 0;
    }
}

// The companions go with their image and are not taken up on their own.
void Run::find_companions(std::vector<ListedFile>& files)
{
    companions_.emplace(find_companions_of_images(F_, files, options_.archives));
    result_.met_companions = !companions_->shared().empty();
    std::erase_if(files, [this](const ListedFile& file) {
        const bool companion = companions_->is_companion(file.name);
        result_.met_companions = result_.met_companions || companion;
        return companion;
    });
}

// A link to an image of this folder that the run has moved goes to
// Duplicates, leading to the image's new place; a link to a file that
// stayed stays with it.
void Run::file_link_to_moved_image(const std::string& link, const std::string& image)
{
    Aktuelle_datei_ = link;
    result_.Dateipfad = join_path(F_, link);
    PlannedFile& planned = result_.plan.emplace_back(planned_file(link, FileOutcome::not_an_image));
    const auto moved = moved_to_.find(image);
    if (moved == moved_to_.end())
        return; // its image stayed, and so does the link
    const std::string destination = output_path(duplicates_folder_name, link);
    ++result_.counts.duplicates;
    planned.outcome = FileOutcome::duplicate;
    if (into_duplicates([&] { filer_->move_link(result_.Dateipfad, destination, moved->second); }))
        planned.destination = relative(destination);
}

// Everything that can stop the run before the first image: the folder, the
// database, the temporary folder of the game list, a folder too deep for
// its paths, and output folders that lead elsewhere.
void Run::check_setup()
{
    setup(F_, [&] {
        if (!is_folder(F_))
            throw Error(ErrorNumber::path_not_found);
    });
    setup(F_, [&] { check_run_path_length(F_); });
    setup(options_.database_path, [&] { const ReadableFile database(options_.database_path); });
    std::string foreign;
    setup(F_, [&] { foreign = foreign_output_folder(F_); });
    if (!foreign.empty())
        setup(foreign, [] { throw Error(ErrorNumber::path_file_access_error); });
}

void Run::remove_unused_folders()
{
    // Only an empty folder goes; one with files of an earlier run stays, and
    // so does an entry of that name that is no folder (75).
    const BatchCounts& counts = result_.counts;
    const auto remove = [this](const char* name) { step([&] { filer_->remove_output_folder(folder_path(name)); }); };
    if (counts.duplicates == 0)
        remove(duplicates_folder_name);
    if (counts.unknown == 0)
        remove(unknown_folder_name);
    if (counts.renamed + counts.already_correct == 0)
        remove(renamed_folder_name);
}

Message Run::final_message() const
{
    // A run that met companions says how many moved, on a line of its own.
    const std::string companions =
        result_.met_companions ? "\n\ncompanions moved: " + std::to_string(result_.companions_moved) : "";
    if (result_.counts.unknown == 0)
        return {"Cartonym Message:", batch_finished_text + companions, MessageIcon::information};
    return {"Cartonym Message:",
        std::string(batch_finished_text)
            + "\n\nThere have been some unkown ROMs. A logfile named UNKNOWN.LOG was created. Please send this "
              "file to "
            + program_info::contact_address + " so these ROMs can be added in the next version.\n\nThank you !"
            + companions,
        MessageIcon::exclamation};
}

// Everything before the first file: the set-up checks, the game list's
// head, the listing. The folder's files, none when it has none.
std::vector<ListedFile> Run::prepare()
{
    std::vector<ListedFile> files;
    check_setup();
    if (options_.game_list)
        setup(temporary_folder(), [&] { step([&] { filer_->begin_game_list(); }); });
    result_.counts = {};
    result_.unknown_names.clear();
    if (observer_.unknown_cleared)
        observer_.unknown_cleared();
    progress(0);
    filer_->clear_leftovers(F_); // images that earlier versions parked under a private name
    setup(F_, [&] { step([&] { files = list_file_entries(F_); }); });
    return files;
}

void Run::create_output_folders()
{
    for (const char* folder : output_folders) {
        const std::string path = folder_path(folder);
        setup(path, [&] { step([&] { filer_->create_output_folder(path); }); });
        filer_->clear_leftovers(path);
    }
    started_ = true;
}

// Every file in the run's order, then the links to images of the folder.
// False when stopped between two files.
bool Run::take_up_files(
    const std::vector<ListedFile>& files, const std::vector<std::pair<std::string, std::string>>& links)
{
    auto count = result_.files_in_folder = static_cast<std::int32_t>(files.size() + links.size());
    std::int32_t Dateiindex = 0;
    // The next file is taken up unless the caller asked to stop.
    const auto next = [&](const std::string& name) {
        if (stop_requested())
            return false;
        result_.counts.total = ++Dateiindex;
        advance(count);
        if (observer_.file_started)
            observer_.file_started(Dateiindex, count, name);
        return true;
    };
    for (const ListedFile& file : files) {
        if (!next(file.name))
            return false;
        process_file(file.name, file.is_link);
        while (!left_alone_.empty()) {
            const std::string alone = left_alone_.front();
            left_alone_.erase(left_alone_.begin());
            result_.files_in_folder = ++count;
            if (!next(alone))
                return false;
            process_file(alone, false);
        }
    }
    for (const auto& [link, image] : links) {
        if (!next(link))
            return false;
        file_link_to_moved_image(link, image);
    }
    return true;
}

// The end of a run that took up every file: unused folders go, the game
// list is placed (or, without any image, the earlier one removed).
void Run::complete()
{
    progress(100);
    status(batch_succeeded_text);
    remove_unused_folders();
    const std::string list = output_path(renamed_folder_name, game_list_name);
    const bool any_image = result_.counts.roms() > 0;
    if (options_.game_list)
        step([&] { filer_->end_game_list(F_, list, any_image); });
    // A run without any image leaves no game list in the folder.
    if (options_.game_list && !any_image)
        step([&] { filer_->remove_game_list(list); });
    result_.outcome = BatchOutcome::completed;
    report(final_message());
}

void Run::fail(const std::string& text)
{
    filer_->drop_game_list();
    result_.setup_failed = !started_;
    end(BatchOutcome::failed, {"Error !", text, MessageIcon::exclamation});
}

void Run::end(BatchOutcome outcome, const Message& message)
{
    result_.outcome = outcome;
    report(message);
    if (options_.recorder && outcome == BatchOutcome::interrupted)
        options_.recorder->interrupted();
    if (options_.recorder)
        options_.recorder->finished();
}

BatchResult Run::run()
{
    // The database is read once for the whole run; an edit made during the
    // run is seen by the next one.
    const DatabaseSession database_session;
    try {
        std::vector<ListedFile> files = prepare();
        if (files.empty()) {
            status(no_files_text);
            report({"Attention !", no_files_text, MessageIcon::information});
            filer_->drop_game_list();
            result_.outcome = BatchOutcome::no_files;
            return std::move(result_);
        }
        create_output_folders();
        const auto links = take_out_links_into_the_folder(F_, files);
        if (options_.companions)
            find_companions(files);
        if (!take_up_files(files, links)) {
            // Stopped between two files: the list is dropped, what the run
            // made but did not use is taken away again.
            filer_->drop_game_list();
            remove_unused_folders();
            end(BatchOutcome::interrupted, {"Cartonym Message:", "Interrupted", MessageIcon::exclamation});
            return std::move(result_);
        }
        complete();
    } catch (const Error& error) {
        if (const auto* failure = dynamic_cast<const RecordingFailure*>(&error))
            result_.Dateipfad = failure->path();
        result_.error = error;
        fail(file_error_text(error, escaped_file_name(result_.Dateipfad)));
        return std::move(result_);
    } catch (const std::exception& error) {
        // Anything else (memory running out) ends the run just as well, with
        // the failure's own text, as the window shows an unexpected failure.
        fail(escaped_file_name(error.what()));
        return std::move(result_);
    }
    if (options_.recorder)
        options_.recorder->finished();
    return std::move(result_);
}

} // namespace

BatchResult Batchrun(const BatchOptions& options, const BatchObserver& observer)
{
    Run run(options, observer);
    return run.run();
}

} // namespace cartonym
