// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/database_tools.h"

#include "common/error.h"
#include "common/paths.h"
#include "common/windows1252.h"
#include "database_tools/database_check.h"
#include "database_tools/record_proposals.h"
#include "database_tools/rom_catalogue.h"
#include "naming/database_location.h"
#include "naming/file_names.h"
#include "naming/name_database.h"
#include "operations/engine.h"
#include "operations/folder_listing.h"
#include "ui/message_service.h"
#include "ui/table_dialog.h"
#include "ui/text_conversion.h"

#include <QtWidgets/QComboBox>
#include <QtWidgets/QDialog>
#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QLabel>
#include <QtWidgets/QProgressDialog>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QTableWidget>
#include <QtWidgets/QVBoxLayout>

#include <algorithm>
#include <optional>

namespace cartonym::ui {
namespace {

constexpr const char* message_title = "Cartonym Message:";

// The database's file, opened as the lookup opens it (read as it reads it,
// whatever its size), or nullopt after telling the user why it cannot be.
std::optional<ReadableFile> open_or_report(QWidget* parent, MessageService& messages, const std::string& path)
{
    DatabaseFile opened = open_database_or_say_why(path);
    if (!opened.file) {
        const std::string where = opened.missing ? "\n\n" + looked_for_line(escaped_file_name(path)) : std::string();
        messages.show(parent, {"Error !", opened.failure + where, MessageIcon::exclamation});
    }
    return std::move(opened.file);
}

// Tells the user why the database could not be read through: the error and
// what it met (a limit of the lookup, named).
void report_reading_failure(QWidget* parent, MessageService& messages, const Error& error)
{
    const std::string detail = error.what() == error.description() ? std::string() : "\n" + std::string(error.what());
    messages.show(parent, {"Error !", short_error_text(error) + detail, MessageIcon::exclamation});
}

// The files of the folder in the batch run's order, as full paths.
std::vector<std::string> files_of(const std::string& folder)
{
    std::vector<std::string> files;
    for (const std::string& name : list_files(folder))
        files.push_back(join_path(folder, name));
    return files;
}

// Appends the records as "cartonym-cli db learn --write" does: never to a
// database that ends inside a record, into the user's own database (made as
// a copy of the one beside the program when needed), keeping a .bak. The
// database that holds them then, or nullopt when nothing was written (said).
std::optional<std::string> write_records(
    QWidget* parent, MessageService& messages, const std::string& database_path, const ProposalRun& run)
{
    // The window does not wait for another writer: it says so instead.
    const AppendOutcome outcome = append_proposals(database_path, true, run, false);
    switch (outcome.status) {
    case AppendOutcome::Status::busy:
        messages.show(parent,
            {"Error !",
                "Another program is adding records to " + escaped_file_name(outcome.path)
                    + " right now. Nothing was written; try again when it has finished.",
                MessageIcon::exclamation});
        return std::nullopt;
    case AppendOutcome::Status::nothing_new:
        messages.show(parent,
            {message_title, "Nothing was written: every record is in the database already.", MessageIcon::information});
        return std::nullopt;
    case AppendOutcome::Status::ends_inside_record:
        messages.show(parent,
            {"Error !",
                "The database ends inside a record; records appended to it would be misread. "
                "See Database > Check snes.dat...",
                MessageIcon::exclamation});
        return std::nullopt;
    case AppendOutcome::Status::failed:
        messages.show(parent, {"Error !", short_error_text(*outcome.error), MessageIcon::exclamation});
        return std::nullopt;
    case AppendOutcome::Status::appended: break;
    }
    messages.show(parent,
        {message_title, records_appended_text(outcome.records, escaped_file_name(outcome.path)),
            MessageIcon::information});
    return outcome.created_user_database ? user_database_path() : database_path;
}

} // namespace

void show_database_check(QWidget* parent, MessageService& messages, const std::string& database_path)
{
    const std::optional<ReadableFile> file = open_or_report(parent, messages, database_path);
    if (!file)
        return;
    DatabaseCheck check;
    std::vector<DatabaseFinding> findings;
    try {
        check = check_database(
            FileBytes(*file), [&findings](const DatabaseFinding& finding) { findings.push_back(finding); });
        check.findings = std::move(findings);
    } catch (const Error& error) {
        report_reading_failure(parent, messages, error);
        return;
    }
    TableDialog shown = make_table_dialog(parent, "database_check", QStringLiteral("Check snes.dat"),
        {QStringLiteral("Line"), QStringLiteral("Severity"), QStringLiteral("Kind"), QStringLiteral("Message")});
    shown.summary->setText(QStringLiteral("%1\n%2 records, %3 errors, %4 warnings")
                               .arg(from_file_system(database_path))
                               .arg(check.records)
                               .arg(check.count(FindingSeverity::error))
                               .arg(check.count(FindingSeverity::warning)));
    for (const DatabaseFinding& finding : check.findings)
        add_row(shown.table,
            {QString::number(finding.line),
                finding.severity == FindingSeverity::error ? QStringLiteral("error") : QStringLiteral("warning"),
                QString::fromStdString(kind_name(finding.kind)), from_cp1252(finding.message)});
    shown.table->resizeColumnsToContents();
    shown.dialog->exec();
}

namespace {

// The catalogue the user chooses; none when there is none to go on with
// (cancelled, or it cannot be read: said).
std::optional<RomCatalogue> choose_catalogue(QWidget* parent, MessageService& messages, Shell& shell)
{
    const QString file = shell.choose_file(parent, QStringLiteral("Choose a ROM catalogue"),
        QStringLiteral("ROM catalogues (*.dat *.xml *.txt *.gz *.zip *.7z);;All files (*)"));
    if (file.isEmpty())
        return std::nullopt;
    try {
        return RomCatalogue::read(to_file_system(file));
    } catch (const Error& error) {
        messages.show(parent, {"Error !", error.what(), MessageIcon::exclamation});
        return std::nullopt;
    }
}

// The proposals for the files, behind a progress dialog that may cancel
// them (then nullopt).
std::optional<ProposalRun> propose_with_progress(QWidget* parent, const std::vector<std::string>& files,
    const DatabaseKeys& keys, const std::optional<RomCatalogue>& catalogue)
{
    QProgressDialog progress(
        QStringLiteral("Examining the images..."), QStringLiteral("Cancel"), 0, static_cast<int>(files.size()), parent);
    progress.setObjectName(QStringLiteral("examining"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(400);
    progress.setAutoReset(false);
    ProposalRun run =
        propose_records(files, keys, catalogue ? &*catalogue : nullptr, [&progress](std::size_t done, std::size_t) {
            progress.setValue(static_cast<int>(done));
            return !progress.wasCanceled();
        });
    const bool cancelled = progress.wasCanceled();
    progress.close();
    if (cancelled)
        return std::nullopt;
    return run;
}

// A proposal's status in words.
QString status_words(ProposalStatus status)
{
    switch (status) {
    case ProposalStatus::new_record: return QStringLiteral("new record");
    case ProposalStatus::known: return QStringLiteral("already known");
    case ProposalStatus::conflict: return QStringLiteral("conflict");
    case ProposalStatus::unusable_name: return QStringLiteral("unusable name");
    case ProposalStatus::not_image: return QStringLiteral("no SNES image");
    case ProposalStatus::no_match: return QStringLiteral("not in the catalogue");
    case ProposalStatus::error: return QStringLiteral("cannot be read");
    }
    return {};
}

// The database "Add to database" writes: always the user's own, made first
// as a copy of the one in use when there is none.
QString target_text(const std::string& database_path)
{
    const std::string target = user_database_path();
    QString text = QStringLiteral("Add to database writes them to %1").arg(from_file_system(target));
    if (database_path != target)
        text += QStringLiteral(", made first as a copy of %1").arg(from_file_system(database_path));
    return text + QLatin1Char('.');
}

// The filter of the preview: all rows, the new records, the conflicts.
void add_filter(TableDialog& shown, const ProposalRun& run)
{
    auto* filter = new QComboBox(shown.dialog);
    filter->setObjectName(QStringLiteral("filter"));
    filter->addItems({QStringLiteral("All files"), QStringLiteral("New records"), QStringLiteral("Conflicts")});
    shown.dialog->layout()->addWidget(filter);
    QObject::connect(filter, &QComboBox::currentIndexChanged, shown.table, [table = shown.table, run](int choice) {
        for (int row = 0; row < table->rowCount(); ++row) {
            const ProposalStatus status = run.files[static_cast<std::size_t>(row)].status;
            const bool shown_row = choice == 0 || (choice == 1 && status == ProposalStatus::new_record)
                || (choice == 2 && status == ProposalStatus::conflict);
            table->setRowHidden(row, !shown_row);
        }
    });
}

// The preview of the records, whose "Add to database" appends them.
void show_proposals(
    QWidget* parent, MessageService& messages, std::string& database_path, const ProposalRun& run, bool from_catalogue)
{
    TableDialog shown = make_table_dialog(parent, "record_preview",
        from_catalogue ? QStringLiteral("Import a ROM catalogue") : QStringLiteral("Learn names from a folder"),
        {QStringLiteral("File"), QStringLiteral("Status"), QStringLiteral("Internal name"),
            QStringLiteral("Proposed name"), QStringLiteral("Note")});
    // The File column shows the file's name (its path as tooltip), no wider
    // than a quarter of the table, so that Status and Note stay in sight.
    for (const Proposal& proposal : run.files) {
        const QString note =
            proposal.error ? QString::fromStdString(proposal.error->description()) : from_cp1252(proposal.message);
        add_row(shown.table,
            {from_file_system(base_name(proposal.file)), status_words(proposal.status),
                from_cp1252(proposal.internal_name), from_cp1252(proposal.full_name), note});
        shown.table->item(shown.table->rowCount() - 1, 0)->setToolTip(from_file_system(proposal.file));
    }
    shown.table->resizeColumnsToContents();
    shown.table->setColumnWidth(0, std::min(shown.table->columnWidth(0), shown.dialog->width() / 4));
    add_filter(shown, run);
    // A name Windows-1252 cannot write refuses only its own record; a
    // conflict leaves the choice between two names to the user.
    ProposalRun writable = run;
    std::erase_if(
        writable.files, [](const Proposal& proposal) { return proposal.status == ProposalStatus::unusable_name; });
    const auto refused = static_cast<qsizetype>(run.files.size() - writable.files.size());
    QString summary = QStringLiteral("%1 files, %2 new records. ").arg(run.files.size()).arg(run.records.size())
        + target_text(database_path);
    if (writable.blocks_writing())
        summary += QStringLiteral(" Nothing can be added: two files give one internal name different names.");
    else if (refused > 0)
        summary += QStringLiteral(" Left out: %1 files whose names are unusable (see Note).").arg(refused);
    shown.summary->setText(summary);
    QPushButton* add = shown.buttons->addButton(QStringLiteral("&Add to database"), QDialogButtonBox::AcceptRole);
    add->setObjectName(QStringLiteral("add_to_database"));
    add->setEnabled(!run.records.empty() && !writable.blocks_writing());
    QObject::connect(add, &QPushButton::clicked, shown.dialog, [&, writable, dialog = shown.dialog] {
        if (const std::optional<std::string> written = write_records(dialog, messages, database_path, writable)) {
            database_path = *written;
            dialog->accept();
        }
    });
    shown.dialog->exec();
}

} // namespace

void learn_database_names(
    QWidget* parent, MessageService& messages, Shell& shell, std::string& database_path, bool from_catalogue)
{
    const std::optional<RomCatalogue> catalogue =
        from_catalogue ? choose_catalogue(parent, messages, shell) : std::nullopt;
    if (from_catalogue && !catalogue)
        return;
    const QString folder = shell.choose_folder(parent, QStringLiteral("Choose the folder of the images"));
    if (folder.isEmpty())
        return;
    const std::optional<ReadableFile> file = open_or_report(parent, messages, database_path);
    if (!file)
        return;
    const FileBytes bytes(*file);
    std::optional<DatabaseKeys> keys;
    try {
        keys.emplace(bytes);
    } catch (const Error& error) {
        report_reading_failure(parent, messages, error);
        return;
    }
    std::vector<std::string> files;
    try {
        files = files_of(to_file_system(folder));
    } catch (const Error& error) {
        messages.show(parent, {"Error !", short_error_text(error), MessageIcon::exclamation});
        return;
    }
    if (const std::optional<ProposalRun> run = propose_with_progress(parent, files, *keys, catalogue))
        show_proposals(parent, messages, database_path, *run, from_catalogue);
}

} // namespace cartonym::ui
