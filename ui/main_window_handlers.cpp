// Form1's event handlers: each translates its event into calls of the engine
// and shows the outcome.
#include "ui/main_window.h"

#include "common/number_text.h"
#include "common/program_info.h"
#include "common/windows1252.h"
#include "naming/file_names.h"
#include "operations/engine.h"
#include "operations/file_mode.h"
#include "operations/run_journal.h"
#include "ui/about_window.h"
#include "ui/batch_preview.h"
#include "ui/batch_progress.h"
#include "ui/database_tools.h"
#include "ui/message_service.h"
#include "ui/text_conversion.h"
#include "ui/widget_groups.h"
#include "ui/widgets.h"

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

// One whole batch run, on this thread and without returning to the event
// loop until it is over: no tick and no click comes between its steps. The
// previous run's panel is emptied and shown empty before the first file.
// The file list is read again once, at the end: nothing is painted in
// between, so reading it before the run too would only cost time.
void Form1::Batchrun_Click()
{
    trap_file_errors([&] {
        empty_batch_panel();
        SortingRun run{batch_options(false)};
        BatchProgress progress(Label17, ProgressBar, Listeunbekannt);
        run.observer = progress.observer([this](const Message& message) { messages_.show(this, message); });
        run.journal_trouble = [this](JournalTrouble trouble, const std::string& reason) {
            std::string text = journal_trouble_text(trouble, escaped_file_name(reason));
            text.front() = 'T';
            messages_.show(this, {"Cartonym Message:", text + '.', MessageIcon::Exclamation});
        };
        // The run changes the folder once per file; the folder list reads it
        // again once at the end instead, showing the output folders.
        Ordner->set_watching(false);
        const BatchResult result = sort_folder(run);
        progress.flush();
        Ordner->set_watching(true);
        Ordner->refresh();
        if (result.outcome != BatchOutcome::Completed)
            return;
        show_counts(result.counts);
        read_files();
    });
}

// Takes back the latest batch run that is not undone yet, after asking: every
// file it moved goes back where it was, never over anything; what cannot go
// back is named and stays.
void Form1::undo_last_run_Click()
{
    trap_file_errors([&] {
        const std::vector<RunSummary> runs = list_runs();
        const auto run = std::find_if(runs.begin(), runs.end(),
            [](const RunSummary& summary) { return summary.state != RunState::Undone && summary.has_changes; });
        if (run == runs.end()) {
            messages_.show(this, {"Cartonym Message:", "There is no batch run to undo.", MessageIcon::Information});
            return;
        }
        const std::string question = "Undo the batch run of " + run->started + " in\n\n"
            + escaped_file_name(run->folder) + "\n\n" + std::to_string(run->moves)
            + (run->moves == 1 ? " file goes back to where it was" : " files go back to where they were")
            + "; the output folders, the game list and the log entries of the run are taken away.";
        if (messages_.show(this, {"Attention !", question, MessageIcon::Exclamation}, MessageButtons::OkCancel)
            != MessageAnswer::Ok)
            return;
        const UndoReport report = undo_run(run->name, false);
        std::string text = std::to_string(report.moved_back.size()) + " files went back.";
        for (const UndoProblem& problem : report.problems)
            text += "\n" + escaped_file_name(problem.path) + " stays where it is: " + problem.reason;
        messages_.show(
            this, {"Cartonym Message:", text, report.complete() ? MessageIcon::Information : MessageIcon::Exclamation});
        Ordner->refresh();
        read_files();
    });
}

// What "Start Batchmode" would do with every file of the folder, taken by
// the same run with nothing changed on disk, shown in a table.
void Form1::preview_Click()
{
    trap_file_errors([&] {
        SortingRun run{batch_options(true)};
        make_batch_preview(this, sort_folder(run))->exec();
    });
}

// A new drive: the folder list moves to its root. A drive that cannot be
// opened asks Retry or Cancel; Cancel leaves the folder list where it was.
void Form1::Laufwerk_Change()
{
    const QString root = Laufwerk->currentData().toString();
    for (;;) {
        try {
            Ordner->set_path(root);
            return;
        } catch (const Error& error) {
            const MessageAnswer answer =
                messages_.show(this, {"Error !", error.description(), MessageIcon::None}, MessageButtons::RetryCancel);
            if (answer != MessageAnswer::Retry) {
                follow_folder_with_drive();
                return;
            }
        } catch (const std::exception& error) {
            show_unexpected(error);
            return;
        }
    }
}

void Form1::Ordner_Change()
{
    follow_folder_with_drive();
    try {
        read_files();
    } catch (const Error& error) {
        Dateien->clear();
        show_error(error);
    } catch (const std::exception& error) {
        show_unexpected(error);
    }
}

// A file chosen in the list: analysed, looked up, shown in the chosen style.
void Form1::Dateien_Click()
{
    const QList<QListWidgetItem*> selection = Dateien->selectedItems();
    if (selection.isEmpty())
        return;
    const QListWidgetItem* item = selection.front();
    trap_file_errors([&] {
        Neuer_name.clear();
        rename_ready_ = false;
        clear_labels({Romname, Hersteller, Cardid, Land, Namevoll, Nameneu});
        Command2->setVisible(false);

        const QByteArray name = item->data(file_name_role).toByteArray();
        Dateipfad = join_path(folder_path(), name.toStdString());
        Dateiname->setText(item->text());

        const FileSelection result = select_file(Dateipfad, database_path_, !Optiondateinamennormal->isChecked());
        analysis_ = result.analysis;
        names_ = result.names;
        Neuer_name = result.names.Neuer_name;
        show_selection(result.state);
    });
}

// Renames the selected file in the folder the folder list shows. A failure
// leaves the file, the labels and the button as they were.
void Form1::Command2_Click()
{
    trap_file_errors([&] {
        if (!rename_ready_)
            return;
        rename_file_in_folder(Dateipfad, folder_path(), Neuer_name);
        rename_ready_ = false;
        read_files();
        clear_labels({Dateiname, Dateityp, Romname, Hersteller, Cardid, Land, Namevoll});
        Command2->setVisible(false);
        clear_labels({Nameneu, CRC1label, sizelabel});
    });
}

// The normal style, composed again from the pieces of the last image.
void Form1::Optiondateinamennormal_Click()
{
    show_name_in_style([this] { return normal_name(names_.Voller_name, analysis_.Landkuerzel, analysis_.Endung); });
}

void Form1::Optiondateinamenultrahle_Click()
{
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
        shell_.open(QUrl(QString::fromUtf8(program_info::homepage_address)));
    } catch (const std::exception&) {
        // Opening the home page may fail without a word.
    }
}

// The About window, modal; returns once it has closed. The window is then
// switched off until the next tick switches it on again.
void Form1::about_Click()
{
    try {
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
        learn_database_names(this, messages_, shell_, database_path_, from_catalogue);
    } catch (const std::exception& error) {
        show_unexpected(error);
    }
}

} // namespace cartonym::ui
