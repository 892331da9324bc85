// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/batch_preview.h"

#include "ui/table_dialog.h"
#include "ui/text_conversion.h"

#include <QtWidgets/QDialog>
#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QTableWidget>

namespace cartonym::ui {
namespace {

QString outcome_text(FileOutcome outcome)
{
    switch (outcome) {
    case FileOutcome::renamed: return QStringLiteral("renamed");
    case FileOutcome::already_correct: return QStringLiteral("already correct");
    case FileOutcome::duplicate: return QStringLiteral("duplicate");
    case FileOutcome::unknown: return QStringLiteral("unknown");
    case FileOutcome::not_an_image: return QStringLiteral("not an image");
    case FileOutcome::passed_over: return QStringLiteral("passed over");
    }
    return {};
}

// What the run would end with, in the future tense.
QStringList summary_lines(const BatchResult& dry_run, const std::vector<std::string>& obstacles)
{
    QStringList lines;
    if (!obstacles.empty()) {
        lines << QStringLiteral("The run would stop before its first file:");
        for (const std::string& obstacle : obstacles)
            lines << QStringLiteral("  ") + from_file_system(obstacle);
        return lines;
    }
    if (dry_run.outcome != BatchOutcome::completed) {
        lines << from_cp1252(dry_run.message.text);
        return lines;
    }
    const BatchCounts& counts = dry_run.counts;
    lines << QStringLiteral("Files in the folder: %1, SNES ROMs among them: %2").arg(counts.total).arg(counts.roms())
          << QStringLiteral("would be renamed: %1").arg(counts.renamed)
          << QStringLiteral("would keep their correct name: %1").arg(counts.already_correct)
          << QStringLiteral("would go to Duplicates: %1").arg(counts.duplicates)
          << QStringLiteral("would go to Unknown_ROMs: %1").arg(counts.unknown);
    if (dry_run.met_companions)
        lines << QStringLiteral("companion files that would move with their image: %1").arg(dry_run.companions_moved);
    return lines;
}

QString companion_outcome_text(CompanionOutcome outcome)
{
    switch (outcome) {
    case CompanionOutcome::moved: return {};
    case CompanionOutcome::name_taken: return QStringLiteral("Its new name is taken: it stays where it is");
    case CompanionOutcome::passed_over: return QStringLiteral("It cannot be moved: it stays where it is");
    case CompanionOutcome::image_stayed: return QStringLiteral("Its image stays where it is, and so does it");
    }
    return {};
}

// A file's row, then one row for each of its companions.
void add_rows(QTableWidget* table, const PlannedFile& file)
{
    const QString reason =
        file.companion_note.empty() ? archive_reason_text(file.reason) : from_file_system(file.companion_note);
    add_row(
        table, {from_file_system(file.file), outcome_text(file.outcome), from_file_system(file.destination), reason});
    for (const CompanionMove& move : file.companions)
        add_row(table,
            {from_file_system(move.from), QStringLiteral("companion of ") + from_file_system(file.file),
                move.outcome == CompanionOutcome::moved ? from_file_system(move.to) : QString(),
                companion_outcome_text(move.outcome)});
}

} // namespace

QString archive_reason_text(const std::string& reason)
{
    if (reason.empty())
        return {};
    if (reason.starts_with("archive holds "))
        return QStringLiteral("The archive holds %1").arg(from_file_system(reason.substr(14)));
    return QStringLiteral("The archive cannot be read: ") + from_file_system(reason);
}

QDialog* make_batch_preview(
    QWidget* parent, const QString& folder, const BatchResult& dry_run, const std::vector<std::string>& obstacles)
{
    TableDialog shown = make_table_dialog(parent, "batch_preview", QStringLiteral("Preview"),
        {QStringLiteral("File"), QStringLiteral("Outcome"), QStringLiteral("Destination"), QStringLiteral("Reason")});
    for (const PlannedFile& file : dry_run.plan)
        add_rows(shown.table, file);
    shown.table->resizeColumnsToContents();
    QStringList summary = {QStringLiteral("What Start Batchmode would do in %1:").arg(folder)};
    summary << summary_lines(dry_run, obstacles);
    shown.summary->setText(summary.join(QLatin1Char('\n')));
    QPushButton* start = shown.buttons->addButton(QStringLiteral("Start Batchmode"), QDialogButtonBox::AcceptRole);
    start->setObjectName(QStringLiteral("start_batch"));
    start->setEnabled(obstacles.empty());
    // Enter closes the preview: only a click on its button starts the run.
    start->setAutoDefault(false);
    shown.buttons->button(QDialogButtonBox::Close)->setDefault(true);
    QObject::connect(start, &QPushButton::clicked, shown.dialog, &QDialog::accept);
    return shown.dialog;
}

} // namespace cartonym::ui
