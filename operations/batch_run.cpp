#include "operations/batch_run.h"

#include "analysis/rom_analysis.h"
#include "common/file_operations.h"
#include "common/program_info.h"
#include "common/system_calls.h"
#include "common/windows1252.h"
#include "naming/file_names.h"
#include "naming/database_index.h"
#include "naming/name_database.h"
#include "operations/file_mode.h"
#include "operations/folder_listing.h"
#include "reports/game_list.h"
#include "reports/unknown_log.h"

#include <map>
#include <set>
#include <sys/stat.h>
#include <utility>

namespace cartonym {
namespace {

constexpr const char* output_folders[] = {duplicates_folder_name, unknown_folder_name, renamed_folder_name};

// Carries out the run's changes to the disk, or in a dry run only works out
// whether each would succeed, against the names the run has already taken
// and vacated.
class Filer {
public:
    Filer(bool dry_run, RunRecorder* recorder, const std::string& folder)
        : dry_run_(dry_run)
        , folds_case_(dry_run && folds_letter_case(folder))
        , recorder_(recorder)
    { }

    void create_output_folder(const std::string& path)
    {
        if (!dry_run_) {
            create_folder(path);
            if (recorder_)
                recorder_->folder_created(path);
            return;
        }
        if (entry_exists(path))
            throw Error(ErrorNumber::PathFileAccessError);
        created_.insert(path);
    }

    // Moves from to to, never replacing: Error 58 when to is taken.
    void move(const std::string& from, const std::string& to, bool may_be_link)
    {
        if (!dry_run_) {
            if (recorder_)
                recorder_->moving(from, to);
            move_file(from, to, may_be_link);
            return;
        }
        const std::string folder = to.substr(0, to.rfind('/'));
        if (!created_.contains(folder)) {
            const EntryKind kind = entry_kind(folder);
            if (kind == EntryKind::Missing)
                throw Error(ErrorNumber::FileNotFound);
            if (kind != EntryKind::Folder && !(kind == EntryKind::Link && is_folder(folder)))
                throw Error(ErrorNumber::PathNotFound);
        }
        // On a volume that folds case, names differing only in letter case clash.
        const auto key = [&](const std::string& path) { return folds_case_ ? ascii_lower(path) : path; };
        if (taken_.contains(key(to)) || (entry_exists(to) && !vacated_.contains(key(to))))
            throw Error(ErrorNumber::FileAlreadyExists);
        taken_.insert(key(to));
        vacated_.insert(key(from));
        taken_.erase(key(from));
    }

    bool dry_run() const { return dry_run_; }

private:
    bool dry_run_;
    bool folds_case_;
    RunRecorder* recorder_;
    std::set<std::string> created_, taken_, vacated_;
};

// One run with its state. Every step goes through step, which applies the
// run's failure rules: a path/file access error (75) passes the step over,
// everything else ends the run (caught in run()).
class Run {
public:
    Run(const BatchOptions& options, const BatchObserver& observer)
        : options_(options)
        , observer_(observer)
        , F_(options.folder)
        , filer_(options.dry_run, options.recorder, options.folder)
    { }

    BatchResult run();

private:
    template <typename Action> static bool step(Action&& action)
    {
        try {
            action();
            return true;
        } catch (const Error& error) {
            if (error.number() == ErrorNumber::PathFileAccessError)
                return false;
            throw;
        }
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
    void report(const Message& message)
    {
        result_.message = message;
        if (observer_.message)
            observer_.message(message);
    }

    // The outcome of moving an image into its output folder, and where it went.
    enum class Filing { Filed, Duplicate, PassedOver };
    Filing file_into(const std::string& target, std::string& destination);
    void check_setup();
    std::vector<std::pair<std::string, std::string>> links_into_the_folder(std::vector<ListedFile>& files) const;
    void process_file(const std::string& Aktuelle_datei, bool is_link, std::int32_t count);
    void file_link_to_moved_image(const std::string& link, const std::string& image);
    void write_log_entry(const RomAnalysis& analysis);
    void remove_unused_folders();
    void remove_output_folder(const char* folder);
    Message final_message() const;

    const BatchOptions& options_;
    const BatchObserver& observer_;
    const std::string F_;
    std::string Aktuelle_datei_;
    BatchResult result_;
    GameList list_;
    Filer filer_;
    float progress_ = 0;
    std::map<std::string, std::string> moved_to_; // file name in F -> its path after the run
    bool current_is_link_ = true;                 // the file in hand may be a link
};

Run::Filing Run::file_into(const std::string& target, std::string& destination)
{
    try {
        filer_.move(result_.Dateipfad, target, current_is_link_);
        destination = target;
        return Filing::Filed;
    } catch (const Error& error) {
        if (error.number() == ErrorNumber::PathFileAccessError)
            return Filing::PassedOver;
        if (error.number() != ErrorNumber::FileAlreadyExists)
            throw;
    }
    // The name is taken: the image goes to Duplicates under its own name.
    // When that name is taken there too (an earlier run), it stays where it
    // is; it is a duplicate all the same.
    try {
        const std::string duplicate = output_path(duplicates_folder_name, Aktuelle_datei_);
        filer_.move(result_.Dateipfad, duplicate, current_is_link_);
        destination = duplicate;
    } catch (const Error& error) {
        if (error.number() != ErrorNumber::FileAlreadyExists && error.number() != ErrorNumber::PathFileAccessError)
            throw;
    }
    ++result_.counts.duplicates;
    return Filing::Duplicate;
}

void Run::write_log_entry(const RomAnalysis& analysis)
{
    if (filer_.dry_run())
        return;
    const std::string log_folder = folder_path(unknown_folder_name) + path_separator;
    if (options_.recorder)
        options_.recorder->log_appending(join_path(log_folder, unknown_log_name));
    step([&] {
        Schreibe_unbekannt(log_folder, escaped_file_name(Aktuelle_datei_), analysis.Dateityp_text,
            analysis.Interner_name, analysis.Land_text, analysis.CRC1_text);
    });
}

void Run::process_file(const std::string& Aktuelle_datei, bool is_link, std::int32_t count)
{
    current_is_link_ = is_link;
    // The bar advances before the file is examined, and never beyond 100.
    const double sum = static_cast<double>(progress_) + 100.0 / count;
    if (sum <= 100.0)
        progress(static_cast<float>(sum));

    Aktuelle_datei_ = Aktuelle_datei;
    result_.Dateipfad = join_path(F_, Aktuelle_datei);
    PlannedFile& planned = result_.plan.emplace_back(PlannedFile{Aktuelle_datei, FileOutcome::PassedOver, ""});

    // A file that cannot be examined or looked up (75) stays where it is and
    // counts nowhere; nothing of an earlier file is carried over to it.
    RomAnalysis analysis;
    if (!step([&] { analysis = Analysiere_rom(result_.Dateipfad); }))
        return;
    if (!analysis.Rom_ok) {
        planned.outcome = FileOutcome::NotAnImage;
        return;
    }
    LookupResult names;
    if (!step([&] { names = Finde_romname(analysis, options_.database_path); }))
        return;

    BatchCounts& counts = result_.counts;
    std::string Neuer_name = names.Neuer_name;
    const bool Rom_unbekannt = Neuer_name.empty();
    std::string destination;
    if (Rom_unbekannt) {
        Neuer_name = unknown_text;
        ++counts.unknown;
        result_.unknown_names.push_back(Aktuelle_datei);
        if (observer_.unknown)
            observer_.unknown(Aktuelle_datei);
        // The entry is written before the image moves, so that a failure to
        // write it stops the run with the image still in place, and the next
        // run writes it again.
        write_log_entry(analysis);
        // The log's own name is never given to an image: such an image is
        // filed as if the name were taken.
        const std::string target = Aktuelle_datei == unknown_log_name
            ? output_path(duplicates_folder_name, Aktuelle_datei)
            : output_path(unknown_folder_name, Aktuelle_datei);
        Filing filing = Aktuelle_datei == unknown_log_name ? Filing::Duplicate : Filing::Filed;
        if (filing == Filing::Duplicate) {
            ++counts.duplicates;
            try {
                filer_.move(result_.Dateipfad, target, current_is_link_);
                destination = target;
            } catch (const Error& error) {
                if (error.number() != ErrorNumber::FileAlreadyExists
                    && error.number() != ErrorNumber::PathFileAccessError)
                    throw;
            }
        } else {
            filing = file_into(target, destination);
        }
        // An unknown image that lands in Duplicates counts once, as a duplicate.
        if (filing == Filing::Duplicate)
            --counts.unknown;
        planned.outcome = filing == Filing::Duplicate ? FileOutcome::Duplicate
            : filing == Filing::Filed                 ? FileOutcome::Unknown
                                                      : FileOutcome::PassedOver;
    }

    if (options_.without_spaces)
        Baue_dateiname(Neuer_name);

    if (!Rom_unbekannt) {
        // A name from the database that would lead out of the folder is refused
        // like a move the file system rejects.
        if (!is_plain_file_name(Neuer_name))
            throw Error(ErrorNumber::BadFileName);
        const std::string target_name = file_system_name(Neuer_name);
        const bool already_correct = join_path(F_, target_name) == result_.Dateipfad;
        const Filing filing = file_into(output_path(renamed_folder_name, target_name), destination);
        if (filing == Filing::PassedOver)
            return; // not filed: neither counted nor listed
        if (filing == Filing::Filed)
            ++(already_correct ? counts.already_correct : counts.renamed);
        planned.outcome = filing == Filing::Duplicate ? FileOutcome::Duplicate
            : already_correct                         ? FileOutcome::AlreadyCorrect
                                                      : FileOutcome::Renamed;
        if (options_.game_list && list_.is_open()) {
            step([&] {
                list_.Schreibe_listenzeile({names.Voller_name, Neuer_name, analysis.Land_text, analysis.Dateityp_text});
            });
        }
    }
    planned.destination = relative(destination);
    if (!destination.empty())
        moved_to_[Aktuelle_datei] = destination;
}

// A link that leads to another file of this folder is taken up after every
// other file: the image it leads to may move in this run, and the link must
// neither be filed in the image's place nor be left leading nowhere.
std::vector<std::pair<std::string, std::string>> Run::links_into_the_folder(std::vector<ListedFile>& files) const
{
    std::set<std::string> names;
    for (const ListedFile& file : files)
        names.insert(file.name);
    std::vector<std::pair<std::string, std::string>> links; // link, the image it leads to
    std::vector<ListedFile> others;
    for (ListedFile& file : files) {
        const std::string& name = file.name;
        const std::string path = join_path(F_, name);
        std::optional<std::string> target;
        if (file.is_link && entry_kind(path) == EntryKind::Link)
            target = link_target(path);
        std::string image;
        if (target && !target->empty()) {
            try {
                const std::string resolved = resolved_path(path);
                const auto cut = resolved.rfind('/');
                if (resolved.substr(0, cut == 0 ? 1 : cut) == resolved_path(F_) && resolved.substr(cut + 1) != name
                    && names.contains(resolved.substr(cut + 1)))
                    image = resolved.substr(cut + 1);
            } catch (const Error&) {
                image.clear(); // leads nowhere: taken up like any other entry
            }
        }
        if (image.empty())
            others.push_back(std::move(file));
        else
            links.emplace_back(name, std::move(image));
    }
    files = std::move(others);
    return links;
}

// A link to an image of this folder that the run has moved goes to
// Duplicates, leading to the image's new place; a link to a file that
// stayed stays with it.
void Run::file_link_to_moved_image(const std::string& link, const std::string& image)
{
    Aktuelle_datei_ = link;
    result_.Dateipfad = join_path(F_, link);
    PlannedFile& planned = result_.plan.emplace_back(PlannedFile{link, FileOutcome::NotAnImage, ""});
    const auto moved = moved_to_.find(image);
    if (moved == moved_to_.end())
        return; // its image stayed, and so does the link
    const std::string destination = output_path(duplicates_folder_name, link);
    ++result_.counts.duplicates;
    planned.outcome = FileOutcome::Duplicate;
    if (filer_.dry_run()) {
        try {
            filer_.move(result_.Dateipfad, destination, true);
            planned.destination = relative(destination);
        } catch (const Error& error) {
            if (error.number() != ErrorNumber::FileAlreadyExists && error.number() != ErrorNumber::PathFileAccessError)
                throw;
        }
        return;
    }
    // A fresh link to the image's new place replaces this one: recorded,
    // made in Duplicates without replacing anything, then the old link
    // removed.
    const std::string new_target = resolved_path(moved->second);
    if (entry_exists(destination))
        return; // the name is taken in Duplicates: the link stays
    if (options_.recorder)
        options_.recorder->link_making(destination, new_target);
    if (const int error = create_link(new_target, destination)) {
        if (error == EEXIST)
            return; // taken meanwhile: the link stays
        throw_errno(error);
    }
    if (options_.recorder)
        options_.recorder->moving(result_.Dateipfad, destination);
    if (entry_kind(result_.Dateipfad) == EntryKind::Link)
        remove_name(result_.Dateipfad);
    planned.destination = relative(destination);
}

// Everything that can stop the run before the first image: the folder, the
// database, the temporary folder of the game list, and output folders that
// lie on another file system (an image cannot be moved there by renaming).
void Run::check_setup()
{
    setup(F_, [&] {
        if (!is_folder(F_))
            throw Error(ErrorNumber::PathNotFound);
    });
    setup(options_.database_path, [&] { const ReadableFile database(options_.database_path); });
    struct stat folder_status { };
    setup(F_, [&] {
        if (!status_of(F_, true, folder_status))
            throw_errno(errno);
    });
    for (const char* folder : output_folders) {
        struct stat output_status { };
        const std::string path = folder_path(folder);
        if (status_of(path, true, output_status) && S_ISDIR(output_status.st_mode)
            && output_status.st_dev != folder_status.st_dev) {
            result_.Dateipfad = path;
            throw Error(ErrorNumber::PathFileAccessError);
        }
    }
}

void Run::remove_unused_folders()
{
    // Only an empty folder goes; one with files of an earlier run stays, and
    // so does an entry of that name that is no folder (75).
    const BatchCounts& counts = result_.counts;
    if (counts.duplicates == 0)
        remove_output_folder(duplicates_folder_name);
    if (counts.unknown == 0)
        remove_output_folder(unknown_folder_name);
    if (counts.renamed + counts.already_correct == 0)
        remove_output_folder(renamed_folder_name);
}

void Run::remove_output_folder(const char* folder)
{
    if (filer_.dry_run())
        return;
    step([&] {
        try {
            remove_folder(folder_path(folder));
        } catch (const Error& error) {
            // Gone already: the folder could not be made because a file held
            // its name, and that file has been filed away by the run.
            if (error.number() != ErrorNumber::FileNotFound)
                throw;
        }
    });
}

Message Run::final_message() const
{
    if (result_.counts.unknown == 0)
        return {"Cartonym Message:", batch_finished_text, MessageIcon::Information};
    return {"Cartonym Message:",
        std::string(batch_finished_text)
            + "\n\nThere have been some unkown ROMs. A logfile named UNKNOWN.LOG was created. Please send this "
              "file to "
            + program_info::contact_address + " so these ROMs can be added in the next version.\n\nThank you !",
        MessageIcon::Exclamation};
}

BatchResult Run::run()
{
    // The database is read once for the whole run; an edit made during the
    // run is seen by the next one.
    const DatabaseSession database_session;
    bool started = false;
    try {
        check_setup();
        if (options_.game_list && !filer_.dry_run())
            setup(temporary_folder(), [&] { step([&] { list_.Schreibe_listenkopf(); }); });
        result_.counts = {};
        result_.unknown_names.clear();
        if (observer_.unknown_cleared)
            observer_.unknown_cleared();
        progress(0);

        std::vector<ListedFile> files;
        if (!filer_.dry_run())
            remove_leftovers_of_ended_moves(F_); // images earlier versions parked under a private name
        setup(F_, [&] { step([&] { files = list_file_entries(F_); }); });
        if (files.empty()) {
            status(no_files_text);
            report({"Attention !", no_files_text, MessageIcon::Information});
            list_.close();
            result_.outcome = BatchOutcome::NoFiles;
            return std::move(result_);
        }

        for (const char* folder : output_folders) {
            const std::string path = folder_path(folder);
            setup(path, [&] { step([&] { filer_.create_output_folder(path); }); });
            if (!filer_.dry_run())
                remove_leftovers_of_ended_moves(path);
        }
        started = true;

        const auto links = links_into_the_folder(files);
        const auto count = static_cast<std::int32_t>(files.size() + links.size());
        std::int32_t Dateiindex = 0;
        for (const ListedFile& file : files) {
            if (observer_.stop_requested && observer_.stop_requested())
                break;
            result_.counts.total = ++Dateiindex;
            process_file(file.name, file.is_link, count);
        }
        for (const auto& [link, image] : links) {
            if (observer_.stop_requested && observer_.stop_requested())
                break;
            result_.counts.total = ++Dateiindex;
            const double sum = static_cast<double>(progress_) + 100.0 / count;
            if (sum <= 100.0)
                progress(static_cast<float>(sum));
            file_link_to_moved_image(link, image);
        }
        if (Dateiindex < count) {
            // Stopped between two files: the list is dropped, what the run
            // made but did not use is taken away again.
            list_.close();
            remove_unused_folders();
            result_.outcome = BatchOutcome::Interrupted;
            report({"Cartonym Message:", "Interrupted", MessageIcon::Exclamation});
            if (options_.recorder)
                options_.recorder->finished();
            return std::move(result_);
        }

        progress(100);
        status(batch_succeeded_text);
        remove_unused_folders();
        if (options_.game_list && !filer_.dry_run()) {
            step([&] { list_.Schreibe_listenende(F_); });
            const std::string placed = output_path(renamed_folder_name, game_list_name);
            if (options_.recorder && result_.counts.roms() > 0 && entry_exists(placed))
                options_.recorder->game_list_placed(placed);
        }
        const BatchCounts& counts = result_.counts;
        if (options_.game_list && counts.roms() == 0 && !filer_.dry_run()) {
            // A run without any image leaves no game list in the folder.
            step([&] {
                const std::string earlier = output_path(renamed_folder_name, game_list_name);
                if (options_.recorder && entry_exists(earlier))
                    options_.recorder->game_list_removing(earlier);
                try {
                    delete_file(earlier);
                } catch (const Error& error) {
                    if (error.number() != ErrorNumber::FileNotFound)
                        throw;
                }
            });
        }
        result_.outcome = BatchOutcome::Completed;
        report(final_message());
    } catch (const Error& error) {
        list_.close();
        result_.outcome = BatchOutcome::Failed;
        result_.setup_failed = !started;
        result_.error = error;
        report({"Error !", file_error_text(error, escaped_file_name(result_.Dateipfad)), MessageIcon::Exclamation});
    }
    if (options_.recorder)
        options_.recorder->finished();
    return std::move(result_);
}

} // namespace

const char* outcome_name(FileOutcome outcome)
{
    switch (outcome) {
    case FileOutcome::Renamed: return "renamed";
    case FileOutcome::AlreadyCorrect: return "already_correct";
    case FileOutcome::Duplicate: return "duplicate";
    case FileOutcome::Unknown: return "unknown";
    case FileOutcome::NotAnImage: return "not_image";
    case FileOutcome::PassedOver: return "passed_over";
    }
    return "passed_over";
}

BatchResult Batchrun(const BatchOptions& options, const BatchObserver& observer)
{
    Run run(options, observer);
    return run.run();
}

} // namespace cartonym
