#include "operations/batch_run.h"

#include "analysis/rom_analysis.h"
#include "common/windows1252.h"
#include "common/program_info.h"
#include "naming/file_names.h"
#include "naming/name_database.h"
#include "operations/file_mode.h"
#include "common/file_operations.h"
#include "operations/folder_listing.h"
#include "reports/game_list.h"
#include "reports/unknown_log.h"

#include <utility>

namespace cartonym {
namespace {

constexpr const char* duplicates_folder = duplicates_folder_name;
constexpr const char* unknown_folder = unknown_folder_name;
constexpr const char* renamed_folder = renamed_folder_name;

// One run with its state. Every step goes through step, which applies the
// run's failure rules: a path/file access error (75) passes the step over,
// everything else ends the run (caught in Batchrun).
class Run {
public:
    Run(const BatchOptions& options, const BatchObserver& observer)
        : options_(options), observer_(observer), F_(options.folder)
    {
    }

    BatchResult run();

private:
    template <typename Action>
    static bool step(Action&& action)
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

    // The path of an entry of an output folder: F, Trenner, folder, "/", name.
    std::string output_path(const char* folder, const std::string& name) const
    {
        return F_ + Trenner(F_) + folder + path_separator + name;
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

    // The outcome of moving an image into its output folder.
    enum class Filing { Filed, Duplicate, PassedOver };
    Filing file_into(const std::string& target);
    void process_file(const std::string& Aktuelle_datei, std::int32_t count);
    void remove_unused_folders();
    void remove_output_folder(const char* folder);
    Message final_message() const;

    const BatchOptions& options_;
    const BatchObserver& observer_;
    const std::string F_;
    std::string Aktuelle_datei_;
    BatchResult result_;
    GameList list_;
    float progress_ = 0;
};

Run::Filing Run::file_into(const std::string& target)
{
    try {
        move_file(result_.Dateipfad, target);
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
        move_file(result_.Dateipfad, output_path(duplicates_folder, Aktuelle_datei_));
    } catch (const Error& error) {
        if (error.number() != ErrorNumber::FileAlreadyExists && error.number() != ErrorNumber::PathFileAccessError)
            throw;
    }
    ++result_.counts.duplicates;
    return Filing::Duplicate;
}

void Run::process_file(const std::string& Aktuelle_datei, std::int32_t count)
{
    // The bar advances before the file is examined, and never beyond 100.
    const double sum = static_cast<double>(progress_) + 100.0 / count;
    if (sum <= 100.0)
        progress(static_cast<float>(sum));

    Aktuelle_datei_ = Aktuelle_datei;
    result_.Dateipfad = join_path(F_, Aktuelle_datei);

    // A file that cannot be examined or looked up (75) stays where it is and
    // counts nowhere; nothing of an earlier file is carried over to it.
    RomAnalysis analysis;
    if (!step([&] { analysis = Analysiere_rom(result_.Dateipfad); }) || !analysis.Rom_ok)
        return;
    LookupResult names;
    if (!step([&] { names = Finde_romname(analysis, options_.database_path); }))
        return;

    BatchCounts& counts = result_.counts;
    std::string Neuer_name = names.Neuer_name;
    const bool Rom_unbekannt = Neuer_name.empty();
    if (Rom_unbekannt) {
        Neuer_name = unknown_text;
        ++counts.unknown;
        result_.unknown_names.push_back(Aktuelle_datei);
        if (observer_.unknown)
            observer_.unknown(Aktuelle_datei);
        // An unknown image that lands in Duplicates counts once, as a duplicate.
        if (file_into(output_path(unknown_folder, Aktuelle_datei)) == Filing::Duplicate)
            --counts.unknown;
        step([&] {
            Schreibe_unbekannt(F_ + Trenner(F_) + unknown_folder + path_separator, escaped_file_name(Aktuelle_datei),
                               analysis.Dateityp_text, analysis.Interner_name, analysis.Land_text, analysis.CRC1_text);
        });
    }

    if (options_.without_spaces)
        Baue_dateiname(Neuer_name);

    if (Rom_unbekannt)
        return;
    // A name from the database that would lead out of the folder is refused
    // like a move the file system rejects.
    if (!is_plain_file_name(Neuer_name))
        throw Error(ErrorNumber::BadFileName);
    const std::string target_name = file_system_name(Neuer_name);
    const bool already_correct = join_path(F_, target_name) == result_.Dateipfad;
    const Filing filing = file_into(output_path(renamed_folder, target_name));
    if (filing == Filing::PassedOver)
        return; // not filed: neither counted nor listed
    if (filing == Filing::Filed)
        ++(already_correct ? counts.already_correct : counts.renamed);
    if (options_.game_list && list_.is_open()) {
        step([&] {
            list_.Schreibe_listenzeile({names.Voller_name, Neuer_name, analysis.Land_text, analysis.Dateityp_text});
        });
    }
}

void Run::remove_unused_folders()
{
    // Only an empty folder goes; one with files of an earlier run stays, and
    // so does an entry of that name that is no folder (75).
    const BatchCounts& counts = result_.counts;
    if (counts.duplicates == 0)
        remove_output_folder(duplicates_folder);
    if (counts.unknown == 0)
        remove_output_folder(unknown_folder);
    if (counts.renamed + counts.already_correct == 0)
        remove_output_folder(renamed_folder);
}

void Run::remove_output_folder(const char* folder)
{
    step([&] {
        try {
            remove_folder(F_ + Trenner(F_) + folder);
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
    try {
        if (options_.game_list)
            step([&] { list_.Schreibe_listenkopf(); });
        result_.counts = {};
        result_.unknown_names.clear();
        if (observer_.unknown_cleared)
            observer_.unknown_cleared();
        progress(0);

        std::vector<std::string> files;
        step([&] { files = list_files(F_); });
        if (files.empty()) {
            status(no_files_text);
            report({"Attention !", no_files_text, MessageIcon::Information});
            list_.close();
            result_.outcome = BatchOutcome::NoFiles;
            return std::move(result_);
        }

        for (const char* folder : {duplicates_folder, unknown_folder, renamed_folder})
            step([&] { create_folder(F_ + Trenner(F_) + folder); });

        const auto count = static_cast<std::int32_t>(files.size());
        for (std::int32_t Dateiindex = 0; Dateiindex < count; ++Dateiindex) {
            result_.counts.total = Dateiindex + 1;
            process_file(files[static_cast<std::size_t>(Dateiindex)], count);
        }

        progress(100);
        status(batch_succeeded_text);
        remove_unused_folders();
        if (options_.game_list)
            step([&] { list_.Schreibe_listenende(F_); });
        const BatchCounts& counts = result_.counts;
        if (options_.game_list && counts.roms() == 0) {
            // A run without any image leaves no game list in the folder.
            step([&] {
                try {
                    delete_file(output_path(renamed_folder, game_list_name));
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
        result_.error = error;
        report({"Error !", file_error_text(error, escaped_file_name(result_.Dateipfad)),
               MessageIcon::Exclamation});
    }
    return std::move(result_);
}

} // namespace

BatchResult Batchrun(const BatchOptions& options, const BatchObserver& observer)
{
    Run run(options, observer);
    return run.run();
}

} // namespace cartonym
