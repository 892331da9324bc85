#include "ui/batch_preview.h"

#include "common/number_text.h"
#include "ui/table_dialog.h"
#include "ui/text_conversion.h"

#include <QtWidgets/QDialog>
#include <QtWidgets/QLabel>
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

QString panel_line(const char* caption, std::int32_t value)
{
    return from_cp1252(std::string(caption) + decimal_text(value));
}

} // namespace

QDialog* make_batch_preview(QWidget* parent, const BatchResult& dry_run)
{
    TableDialog shown = make_table_dialog(parent, "batch_preview", QStringLiteral("Preview"),
        {QStringLiteral("File"), QStringLiteral("Outcome"), QStringLiteral("Destination")});
    for (const PlannedFile& file : dry_run.plan)
        add_row(
            shown.table, {from_file_system(file.file), outcome_text(file.outcome), from_file_system(file.destination)});
    shown.table->resizeColumnsToContents();
    const BatchCounts& counts = dry_run.counts;
    QStringList summary = {from_cp1252(dry_run.message.text)};
    if (dry_run.outcome == BatchOutcome::completed) {
        summary << panel_line(total_caption, counts.total) << panel_line(roms_caption, counts.roms())
                << panel_line(already_correct_caption, counts.already_correct)
                << panel_line(renamed_caption, counts.renamed) << panel_line(duplicates_caption, counts.duplicates);
    }
    shown.summary->setText(summary.join(QLatin1Char('\n')));
    return shown.dialog;
}

} // namespace cartonym::ui
