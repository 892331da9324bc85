// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/export_dialog.h"

#include "common/windows1252.h"
#include "operations/engine.h"
#include "operations/export_layouts.h"
#include "operations/export_run.h"
#include "operations/game_selection.h"
#include "operations/run_undo.h"
#include "operations/undo_steps.h"
#include "ui/clock.h"
#include "ui/message_service.h"
#include "ui/table_dialog.h"
#include "ui/text_conversion.h"
#include "ui/undo_chooser.h"

#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QDialog>
#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QFormLayout>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QProgressDialog>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QSpinBox>
#include <QtWidgets/QTableWidget>
#include <QtWidgets/QVBoxLayout>

#include <optional>

namespace cartonym::ui {
namespace {

// The choices of the copier headers, in the order of the list.
enum class HeaderChoice { as_layout, leave_out, keep };

class ExportDialog {
public:
    ExportDialog(
        QWidget* parent, MessageService& messages, Shell& shell, const Clock& clock, const ExportSetting& setting);
    void exec() { dialog_.exec(); }

private:
    void add_layout_rows(QFormLayout* form);
    void add_choice_rows(QFormLayout* form);
    QLineEdit* folder_row(QFormLayout* form, const char* name, const QString& label, const QString& title);
    ExportOptions options(bool dry_run) const;
    bool folders_given();
    void preview();
    void start();
    void undo();
    void report(const ExportResult& result);
    void guarded(void (ExportDialog::*handler)());

    QDialog dialog_;
    MessageService& messages_;
    Shell& shell_;
    const Clock& clock_;
    const ExportSetting& setting_;
    QLineEdit* from_ = nullptr;
    QLineEdit* to_ = nullptr;
    QComboBox* layout_ = nullptr;
    QSpinBox* per_folder_ = nullptr;
    QComboBox* headers_ = nullptr;
    QCheckBox* one_per_game_ = nullptr;
    QLineEdit* prefer_ = nullptr;
    QCheckBox* include_unknown_ = nullptr;
};

ExportDialog::ExportDialog(
    QWidget* parent, MessageService& messages, Shell& shell, const Clock& clock, const ExportSetting& setting)
    : dialog_(parent)
    , messages_(messages)
    , shell_(shell)
    , clock_(clock)
    , setting_(setting)
{
    dialog_.setObjectName(QStringLiteral("export_set"));
    dialog_.setWindowTitle(QStringLiteral("Export a set"));
    auto* form = new QFormLayout;
    from_ =
        folder_row(form, "export_from", QStringLiteral("&From:"), QStringLiteral("Choose the folder of the images"));
    from_->setText(setting.folder);
    to_ = folder_row(form, "export_to", QStringLiteral("&To:"), QStringLiteral("Choose the folder the set goes into"));
    add_layout_rows(form);
    add_choice_rows(form);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    const auto add_button = [&](const char* name, const QString& text, void (ExportDialog::*handler)()) {
        QPushButton* button = buttons->addButton(text, QDialogButtonBox::ActionRole);
        button->setObjectName(QLatin1String(name));
        QObject::connect(button, &QPushButton::clicked, &dialog_, [this, handler] { guarded(handler); });
    };
    add_button("export_preview", QStringLiteral("&Preview..."), &ExportDialog::preview);
    add_button("export_start", QStringLiteral("&Export"), &ExportDialog::start);
    add_button("export_undo", QStringLiteral("&Undo an export..."), &ExportDialog::undo);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog_, &QDialog::reject);
    auto* column = new QVBoxLayout(&dialog_);
    column->addLayout(form);
    column->addWidget(buttons);
}

// The layout and, for a layout of letter folders, their limit.
void ExportDialog::add_layout_rows(QFormLayout* form)
{
    layout_ = new QComboBox;
    layout_->setObjectName(QStringLiteral("export_layout"));
    for (const ExportLayout& layout : export_layouts())
        layout_->addItem(QString::fromUtf8(layout.name) + QStringLiteral(": ") + QString::fromUtf8(layout.what),
            QString::fromUtf8(layout.name));
    form->addRow(QStringLiteral("&Layout:"), layout_);
    per_folder_ = new QSpinBox;
    per_folder_->setObjectName(QStringLiteral("export_per_folder"));
    per_folder_->setRange(0, 100000);
    per_folder_->setSpecialValueText(QStringLiteral("no limit"));
    form->addRow(QStringLiteral("Images per letter &folder:"), per_folder_);
    const auto letters_only = [this] {
        const ExportLayout* layout = find_layout(layout_->currentData().toString().toStdString());
        per_folder_->setEnabled(layout && layout->letter_folders);
    };
    QObject::connect(layout_, &QComboBox::currentIndexChanged, &dialog_, letters_only);
    letters_only();
}

// How the images are copied and which of them.
void ExportDialog::add_choice_rows(QFormLayout* form)
{
    headers_ = new QComboBox;
    headers_->setObjectName(QStringLiteral("export_headers"));
    headers_->addItems({QStringLiteral("As the layout wants"), QStringLiteral("Leave them out (.sfc)"),
        QStringLiteral("Keep them (byte for byte)")});
    form->addRow(QStringLiteral("Copier &headers:"), headers_);
    one_per_game_ = new QCheckBox(QStringLiteral("&One image per game"));
    one_per_game_->setObjectName(QStringLiteral("export_one_per_game"));
    form->addRow(one_per_game_);
    QStringList regions;
    for (const std::string& region : default_region_order)
        regions << QString::fromStdString(region);
    prefer_ = new QLineEdit(regions.join(QLatin1Char(',')));
    prefer_->setObjectName(QStringLiteral("export_prefer"));
    form->addRow(QStringLiteral("&Regions preferred:"), prefer_);
    prefer_->setEnabled(false);
    QObject::connect(one_per_game_, &QCheckBox::toggled, prefer_, &QWidget::setEnabled);
    include_unknown_ = new QCheckBox(QStringLiteral("Also images no catalogue or database &names"));
    include_unknown_->setObjectName(QStringLiteral("export_include_unknown"));
    form->addRow(include_unknown_);
}

// A button's handler; a failure it meets (a journal that cannot be read,
// say) is shown, never carried into Qt's event loop.
void ExportDialog::guarded(void (ExportDialog::*handler)())
{
    try {
        (this->*handler)();
    } catch (const std::exception& error) {
        messages_.show(&dialog_, {"Error !", escaped_file_name(error.what()), MessageIcon::exclamation});
    }
}

// A line of a folder's path with a button that chooses it.
QLineEdit* ExportDialog::folder_row(QFormLayout* form, const char* name, const QString& label, const QString& title)
{
    auto* edit = new QLineEdit;
    edit->setObjectName(QLatin1String(name));
    edit->setMinimumWidth(360);
    auto* browse = new QPushButton(QStringLiteral("Browse..."));
    browse->setObjectName(QLatin1String(name) + QStringLiteral("_browse"));
    QObject::connect(browse, &QPushButton::clicked, &dialog_, [this, edit, title] {
        const QString chosen = shell_.choose_folder(&dialog_, title);
        if (!chosen.isEmpty())
            edit->setText(chosen);
    });
    auto* row = new QHBoxLayout;
    row->addWidget(edit);
    row->addWidget(browse);
    auto* caption = new QLabel(label);
    caption->setBuddy(edit);
    form->addRow(caption, row);
    return edit;
}

ExportOptions ExportDialog::options(bool dry_run) const
{
    ExportOptions options;
    options.from = to_file_system(from_->text());
    options.to = to_file_system(to_->text());
    options.database_path = setting_.database_path;
    options.catalogues = setting_.catalogues;
    options.layout = layout_->currentData().toString().toStdString();
    const auto headers = static_cast<HeaderChoice>(headers_->currentIndex());
    if (headers != HeaderChoice::as_layout)
        options.headerless = headers == HeaderChoice::leave_out;
    options.one_per_game = one_per_game_->isChecked();
    options.rules.region_order = comma_separated(prefer_->text().toStdString());
    options.include_unknown = include_unknown_->isChecked();
    options.per_folder = static_cast<std::size_t>(per_folder_->value());
    options.archives = setting_.archives;
    options.companions = setting_.companions;
    options.dry_run = dry_run;
    return options;
}

bool ExportDialog::folders_given()
{
    if (!from_->text().isEmpty() && !to_->text().isEmpty())
        return true;
    messages_.show(&dialog_,
        {"Cartonym Message:", "Choose the folder of the images and the folder the set goes into first.",
            MessageIcon::information});
    return false;
}

// Everything the export would do, decided with nothing copied; its Export
// button starts the export, which decides everything anew.
void ExportDialog::preview()
{
    if (!folders_given())
        return;
    const ExportResult plan = export_set({options(true), {}});
    if (plan.outcome == ExportOutcome::failed) {
        report(plan);
        return;
    }
    TableDialog table = make_table_dialog(&dialog_, "export_preview_table", QStringLiteral("Preview of the export"),
        {QStringLiteral("Image"), QStringLiteral("What the export would do"), QStringLiteral("Copy")});
    for (const ExportItem& item : plan.items) {
        QString what = QString::fromUtf8(export_action_name(item.action, true));
        if (!item.reason.empty())
            what += QStringLiteral(" (") + QString::fromUtf8(item.reason) + QLatin1Char(')');
        add_row(table.table, {from_file_system(item.source), what, from_file_system(item.target)});
        for (const ExportCompanion& companion : item.companions)
            add_row(table.table,
                {from_file_system(companion.source), QString::fromUtf8(export_action_name(companion.action, true)),
                    from_file_system(companion.target)});
    }
    table.summary->setText(QStringLiteral("Would copy %1, keep %2; %3 clashes, %4 unknown, %5 left out.")
                               .arg(plan.copied)
                               .arg(plan.kept)
                               .arg(plan.clashes)
                               .arg(plan.unknown)
                               .arg(plan.left_out));
    QPushButton* export_button = table.buttons->addButton(QStringLiteral("&Export"), QDialogButtonBox::AcceptRole);
    export_button->setObjectName(QStringLiteral("export_preview_start"));
    QObject::connect(export_button, &QPushButton::clicked, table.dialog, &QDialog::accept);
    if (table.dialog->exec() == QDialog::Accepted)
        start();
}

// The export with a progress dialog: images done of those to copy, the
// time left and the image in hand; Cancel stops it before the next copy.
void ExportDialog::start()
{
    if (!folders_given())
        return;
    QProgressDialog progress(QStringLiteral("Exporting..."), QStringLiteral("Cancel"), 0, 1000, &dialog_);
    progress.setObjectName(QStringLiteral("export_progress"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(400);
    progress.setAutoReset(false);
    const std::int64_t started = clock_.milliseconds();
    ExportRun run{options(false), {}};
    run.observer.progress = [&](const ExportProgress& now) {
        // progress_text counts the files before the one taken up next.
        const auto done = static_cast<std::int32_t>(now.done) + 1;
        const auto total = static_cast<std::int32_t>(now.total);
        progress.setLabelText(QString::fromStdString(progress_text(done, total, clock_.milliseconds() - started))
            + QStringLiteral(" - ") + from_file_system(now.file));
        progress.setValue(now.total_bytes == 0 ? 1000 : static_cast<int>(now.bytes * 1000 / now.total_bytes));
    };
    run.observer.stop_requested = [&progress] { return progress.wasCanceled(); };
    const ExportResult result = export_set(run);
    progress.close();
    report(result);
}

// What the export did, in one message.
void ExportDialog::report(const ExportResult& result)
{
    if (result.outcome == ExportOutcome::failed && result.copied == 0 && result.items.empty()) {
        messages_.show(&dialog_,
            {"Cartonym Message:", "The export failed: " + escaped_file_name(result.message), MessageIcon::exclamation});
        return;
    }
    std::string text = result.outcome == ExportOutcome::interrupted ? "The export was cancelled.\n\n"
        : result.outcome == ExportOutcome::failed ? "The export stopped: " + escaped_file_name(result.message) + "\n\n"
                                                  : std::string();
    text += "Copied: " + std::to_string(result.copied) + "\nKept: " + std::to_string(result.kept)
        + "\nClashes (left alone): " + std::to_string(result.clashes) + "\nUnknown: " + std::to_string(result.unknown)
        + "\nLeft out: " + std::to_string(result.left_out) + "\nFailed: " + std::to_string(result.failed);
    if (!result.journal_issue.empty())
        text += "\n\n" + result.journal_issue;
    const bool fine = result.outcome == ExportOutcome::completed && result.failed == 0;
    messages_.show(&dialog_, {"Cartonym Message:", text, fine ? MessageIcon::information : MessageIcon::exclamation});
}

// The exports into the target folder to choose from; the chosen one is
// taken back: each copy it placed goes, if unchanged since.
void ExportDialog::undo()
{
    const std::string folder = to_file_system(to_->text());
    std::vector<RunSummary> runs;
    for (RunSummary& run : undoable_runs_of(folder))
        if (run.exported)
            runs.push_back(std::move(run));
    if (runs.empty()) {
        messages_.show(&dialog_,
            {"Cartonym Message:", "There is no export into this folder to undo:\n\n" + escaped_file_name(folder),
                MessageIcon::information});
        return;
    }
    const std::optional<std::string> chosen = choose_run(&dialog_, to_->text(), runs);
    if (!chosen)
        return;
    const UndoReport report = undo_run(*chosen, false);
    std::string text = std::to_string(report.removed.size()) + " copies and folders removed.";
    for (const UndoProblem& problem : report.problems)
        text += "\n" + undo_problem_text(problem);
    messages_.show(
        &dialog_, {"Cartonym Message:", text, report.complete() ? MessageIcon::information : MessageIcon::exclamation});
}

} // namespace

void show_export_dialog(
    QWidget* parent, MessageService& messages, Shell& shell, const Clock& clock, const ExportSetting& setting)
{
    ExportDialog dialog(parent, messages, shell, clock, setting);
    dialog.exec();
}

} // namespace cartonym::ui
