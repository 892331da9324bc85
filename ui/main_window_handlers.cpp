// SPDX-License-Identifier: GPL-3.0-or-later
// Form1's event handlers: each translates its event into calls of the engine
// and shows the outcome.
#include "ui/main_window.h"

#include "common/number_text.h"
#include "common/program_info.h"
#include "common/windows1252.h"
#include "naming/file_names.h"
#include "operations/batch_companions.h"
#include "operations/engine.h"
#include "operations/file_mode.h"
#include "operations/identification.h"
#include "operations/run_undo.h"
#include "operations/undo_steps.h"
#include "ui/about_window.h"
#include "ui/batch_preview.h"
#include "ui/batch_progress.h"
#include "ui/database_tools.h"
#include "ui/message_service.h"
#include "ui/text_conversion.h"
#include "ui/undo_chooser.h"
#include "ui/widget_groups.h"
#include "ui/widgets.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QElapsedTimer>
#include <QtCore/QFileInfo>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QDialog>
#include <QtWidgets/QLabel>
#include <QtWidgets/QListWidget>
#include <QtWidgets/QProgressBar>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QRadioButton>

#include <algorithm>

namespace cartonym::ui {

void Form1::Dateimodus_Click()
{
    try {
        clear_labels({Nameneu, Romname, Hersteller, Cardid, Land, Namevoll, Dateiname, Dateityp, CRC1label, sizelabel});
        rename_ready_ = false;
        read_files();
        Checkgamelist->setEnabled(false);
    } catch (const Error& error) {
        show_error(error);
    } catch (const std::exception& error) {
        show_unexpected(error);
    }
}

void Form1::Batchmodus_Click()
{
    set_visible({Label10, Labelschonrichtig, Listeunbekannt, Label11, Label12, Labelinsgesamt, Label13, Labelanzahlroms,
                    Label14, Labelumbenannt, Label18, Labelduplikate},
        true);
    clear_labels({Labelschonrichtig, Labelinsgesamt, Labelanzahlroms, Labelumbenannt, Labelduplikate});
    Command2->setVisible(false);
    ProgressBar->setValue(0);
    Label17->setText(QStringLiteral("Batchmode Status:"));
    Checkgamelist->setEnabled(true);
}

// One whole batch run, on this thread. The previous run's panel is emptied
// and shown empty before the first file. While it runs every control but
// Cancel is off, and events are handled between two files now and then, so
// that Cancel can stop it there. The file list is read again once, at the
// end.
void Form1::Batchrun_Click()
{
    trap_file_errors([&] {
        follow_registry();
        empty_batch_panel();
        SortingRun run;
        run.options = batch_options(false);
        BatchProgress progress(Label17, ProgressBar, Listeunbekannt, clock_);
        run.observer = progress.observer([this, folder = run.options.folder](Message message) {
            message.text = read_only_said(message.text, folder);
            messages_.show(this, message);
        });
        QElapsedTimer since_events;
        since_events.start();
        run.observer.stop_requested = [this, &since_events] {
            if (since_events.elapsed() >= event_interval_ms) {
                QCoreApplication::processEvents();
                since_events.restart();
            }
            return cancel_requested_;
        };
        run.journal_trouble = [this](JournalTrouble trouble, const std::string& reason) {
            std::string text = journal_trouble_text(trouble, escaped_file_name(reason));
            text.front() = 'T';
            messages_.show(this, {"Cartonym Message:", text + '.', MessageIcon::exclamation});
        };
        // The run changes the folder once per file; the folder list reads it
        // again once at the end instead, showing the output folders.
        Ordner->set_watching(false);
        set_running(true);
        const BatchResult result = sort_folder(run);
        set_running(false);
        progress.flush();
        Ordner->set_watching(true);
        Ordner->refresh();
        show_run_end(result);
    });
}

void Form1::cancel_Click() { cancel_requested_ = true; }

// Takes back a batch run of the folder shown, chosen from its runs: every
// file it moved goes back where it was, never over anything; what cannot go
// back is named and stays. The panel is emptied.
void Form1::undo_batch_run_Click()
{
    trap_file_errors([&] {
        const std::vector<RunSummary> runs = undoable_runs_of(folder_path());
        if (runs.empty()) {
            messages_.show(this,
                {"Cartonym Message:", "There is no batch run of this folder to undo:\n\n" + folder_path(),
                    MessageIcon::information});
            return;
        }
        const std::optional<std::string> chosen = choose_run(this, Ordner->path(), runs);
        if (!chosen)
            return;
        const UndoReport report = undo_run(*chosen, false);
        std::string text = went_back_text(report.moved_back.size(), false) + '.';
        for (const UndoProblem& problem : report.problems)
            text += "\n" + undo_problem_text(problem);
        reset_batch_panel();
        Ordner->refresh();
        read_files();
        messages_.show(
            this, {"Cartonym Message:", text, report.complete() ? MessageIcon::information : MessageIcon::exclamation});
    });
}

// What "Start Batchmode" would do with every file of the folder shown,
// taken by the same run with nothing changed on disk, with what would stop
// it; its Start button starts the run (which decides everything anew).
void Form1::preview_Click()
{
    bool start = false;
    trap_file_errors([&] {
        follow_registry();
        SortingRun run;
        run.options = batch_options(true);
        const BatchResult result = sort_folder(run);
        QDialog* dialog = make_batch_preview(this, Ordner->path(), result, run_obstacles(run.options));
        start = dialog->exec() == QDialog::Accepted;
    });
    if (start)
        Batchrun_Click();
}

// A file chosen in the list: analysed, looked up, shown in the chosen style.
void Form1::Dateien_Click()
{
    const QList<QListWidgetItem*> selection = Dateien->selectedItems();
    if (selection.isEmpty())
        return;
    const QListWidgetItem* item = selection.front();
    trap_file_errors([&] {
        selected_folder_ = folder_path();
        selected_name_ = item->data(file_name_role).toByteArray().toStdString();
        look_at_selected();
    });
}

void Form1::look_at_selected()
{
    follow_registry();
    Neuer_name.clear();
    rename_ready_ = false;
    selected_.reset();
    clear_labels({Romname, Hersteller, Cardid, Land, Namevoll, Nameneu, CRC1label, sizelabel, tier_status});
    Command2->setVisible(false);
    verified_name_.clear();
    Dateipfad = join_path(selected_folder_, selected_name_);
    Dateiname->setText(from_file_system(selected_name_));

    Identification found = select_with_database_named();
    analysis_ = found.selection.analysis;
    names_ = found.selection.names;
    Neuer_name = found.selection.names.Neuer_name;
    show_selection(found.selection.state);
    show_tier(found);
    found.verification = {}; // it points into the catalogues, which may be read again meanwhile
    selected_ = std::make_unique<Identification>(std::move(found));
    show_companions();
}

// The companions that Rename file renames with the image, in the status bar
// (none for a file that has its name already).
void Form1::show_companions()
{
    selected_companions_.clear();
    const std::string new_name = verified_name_.empty() ? file_system_name(Neuer_name) : verified_name_;
    if (!rename_ready_ || !move_companions->isChecked() || new_name == selected_name_)
        return;
    selected_companions_ = companions_in_folder(selected_folder_, selected_name_, look_inside_archives->isChecked());
    QStringList names;
    for (const std::string& companion : selected_companions_)
        names << from_file_system(companion);
    const QString tier = tier_status->text();
    if (!names.isEmpty())
        tier_status->setText((tier.isEmpty() ? QString() : tier + QStringLiteral("; "))
            + QStringLiteral("renamed with it: ") + names.join(QStringLiteral(", ")));
}

namespace {

// What became of the companions renamed with the image, for the status bar.
QString companions_renamed_text(const std::vector<CompanionMove>& moves)
{
    int renamed = 0;
    QStringList stayed;
    for (const CompanionMove& move : moves) {
        renamed += move.outcome == CompanionOutcome::moved ? 1 : 0;
        if (move.outcome != CompanionOutcome::moved)
            stayed << from_file_system(move.from) + QStringLiteral(" stays (its new name is taken)");
    }
    if (moves.empty())
        return {};
    return QStringLiteral("; companions renamed: %1").arg(renamed)
        + (stayed.isEmpty() ? QString() : QStringLiteral(", ") + stayed.join(QStringLiteral(", ")));
}

} // namespace

// Renames the selected file in its own folder (whatever folder is shown
// now); a file that has the name already stays as it is. A file that is
// no longer the one shown (another was put in its place, or it was
// changed) is not renamed but looked at again. A failure leaves the file,
// the labels and the button as they were.
void Form1::Command2_Click()
{
    trap_file_errors([&] {
        if (!rename_ready_ || !selected_)
            return;
        const std::string new_name = verified_name_.empty() ? file_system_name(Neuer_name) : verified_name_;
        RenameOutcome outcome = RenameOutcome::renamed;
        try {
            outcome = rename_identified(
                selected_folder_, selected_name_, *selected_, verified_name_.empty() ? Neuer_name : verified_name_);
        } catch (const Error& error) {
            // The message names the file renamed; the status bar the one that has the name.
            if (error.number() == ErrorNumber::file_already_exists)
                tier_status->setText(QStringLiteral("Not renamed: the name is taken by ")
                    + QDir::toNativeSeparators(QDir::cleanPath(
                        from_file_system(selected_folder_) + QLatin1Char('/') + from_file_system(new_name))));
            throw;
        }
        if (outcome == RenameOutcome::file_changed) {
            look_at_selected();
            messages_.show(this,
                {"Cartonym Message:",
                    "The file changed after it was looked at, so it was not renamed:\n\n" + escaped_file_name(Dateipfad)
                        + "\n\nIt has been looked at again: what it holds now is shown.",
                    MessageIcon::exclamation});
            return;
        }
        const QString old_name = from_file_system(selected_name_);
        const std::vector<CompanionMove> companions = outcome == RenameOutcome::renamed
            ? rename_companions(selected_folder_, selected_name_, new_name, selected_companions_)
            : std::vector<CompanionMove>();
        selected_name_ = new_name;
        show_renamed(old_name, outcome == RenameOutcome::renamed);
        tier_status->setText(tier_status->text() + companions_renamed_text(companions));
    });
}

// The renamed file selected and shown under its new name (looked at again
// where its folder is no longer the one shown); the status bar says what
// became of it.
void Form1::show_renamed(const QString& old_name, bool renamed)
{
    rename_ready_ = false;
    read_files();
    QListWidgetItem* item = nullptr;
    for (int row = 0; selected_folder_ == folder_path() && row < Dateien->count() && !item; ++row) {
        if (Dateien->item(row)->data(file_name_role).toByteArray().toStdString() == selected_name_)
            item = Dateien->item(row);
    }
    if (item)
        Dateien->setCurrentItem(item); // shows it
    else
        look_at_selected();
    const QString tier = tier_status->text();
    tier_status->setText((renamed ? QStringLiteral("%1 renamed to %2").arg(old_name, from_file_system(selected_name_))
                                  : QStringLiteral("%1 has its name already").arg(old_name))
        + (tier.isEmpty() ? QString() : QStringLiteral("; ") + tier));
    Dateien->setFocus(); // the focus stays with the files
}

// The normal style, composed again from the pieces of the last image.
void Form1::Optiondateinamennormal_Click()
{
    if (restyle_verified())
        return;
    show_name_in_style([this] { return normal_name(names_.Voller_name, analysis_.Landkuerzel, analysis_.Endung); });
}

void Form1::Optiondateinamenultrahle_Click()
{
    if (restyle_verified())
        return;
    show_name_in_style([this] { return Baue_dateiname(Neuer_name); });
}

// Neuer_name composed anew, shown while the rename button is.
void Form1::show_name_in_style(const std::function<std::string()>& compose)
{
    try {
        Neuer_name = compose();
        if (!Command2->isHidden())
            Nameneu->setText(from_cp1252(Neuer_name));
    } catch (const std::exception& error) {
        show_unexpected(error);
    }
}

// Exit: the window closes, and with the last window the program ends.
void Form1::beenden_Click() { close(); }

void Form1::homepage_Click()
{
    try {
        if (!shell_.open(QUrl(QString::fromUtf8(program_info::homepage_address))))
            messages_.show(this,
                {"Cartonym Message:",
                    std::string("No web browser could be opened. The homepage is at:\n\n")
                        + program_info::homepage_address,
                    MessageIcon::information});
    } catch (const std::exception& error) {
        show_unexpected(error);
    }
}

void Form1::open_folder_Click()
{
    if (!shell_.open(QUrl::fromLocalFile(Ordner->path())))
        messages_.show(this,
            {"Cartonym Message:", "No file manager could open " + escaped_file_name(folder_path()),
                MessageIcon::information});
}

// The game list a run with "Create gamelist" left in the folder shown.
void Form1::open_game_list_Click()
{
    const std::string list = join_path(join_path(folder_path(), renamed_folder_name), "games.htm");
    if (!QFileInfo::exists(from_file_system(list)))
        messages_.show(this,
            {"Cartonym Message:",
                "There is no game list in this folder yet: tick \"Create gamelist\" and start Batchmode.\n\n"
                    + escaped_file_name(list),
                MessageIcon::information});
    else if (!shell_.open(QUrl::fromLocalFile(from_file_system(list))))
        messages_.show(this,
            {"Cartonym Message:", "No web browser could open " + escaped_file_name(list), MessageIcon::information});
}

// The About window, modal; returns once it has closed. The window is then
// switched off until the next tick switches it on again.
void Form1::about_Click()
{
    try {
        follow_registry();
        frmAbout window(
            this, messages_, shell_, clock_, from_file_system(database_path_), [this] { setEnabled(true); });
        window.exec();
        setEnabled(false);
    } catch (const std::exception& error) {
        setEnabled(true);
        show_unexpected(error);
    }
}

void Form1::check_database_Click()
{
    try {
        follow_registry();
        show_database_check(this, messages_, database_path_);
    } catch (const std::exception& error) {
        show_unexpected(error);
    }
}

void Form1::learn_names_Click() { learn(false); }

void Form1::import_catalogue_Click() { learn(true); }

void Form1::learn(bool from_catalogue)
{
    try {
        follow_registry();
        learn_database_names(this, messages_, shell_, database_path_, from_catalogue);
    } catch (const std::exception& error) {
        show_unexpected(error);
    }
}

} // namespace cartonym::ui
