// SPDX-License-Identifier: GPL-3.0-or-later
// The Database menu's catalogues: the registered ones listed, added and removed, and
// the report of the folder shown held against them; the calls cartonym-cli's
// "catalogue" and "report" commands make.
#include "ui/database_tools.h"

#include "common/error.h"
#include "common/windows1252.h"
#include "operations/catalogue_report.h"
#include "operations/identification.h"
#include "ui/message_service.h"
#include "ui/table_dialog.h"
#include "ui/text_conversion.h"

#include <QtWidgets/QDialog>
#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QTableWidget>

#include <algorithm>

namespace cartonym::ui {
namespace {

constexpr int file_column = 3;

// A failure as the window's error box shows it: the number and its
// description, then what the core said (a catalogue and the place of its
// fault, say) with its names escaped as in every message.
void show_failure(QWidget* parent, MessageService& messages, const Error& error)
{
    std::string text = short_error_text(error);
    if (error.what() != error.description())
        text += "\n" + escaped_file_name(error.what());
    messages.show(parent, {"Error !", text, MessageIcon::exclamation});
}

void fill(QTableWidget* table)
{
    table->setRowCount(0);
    for (const CatalogueSummary& summary : list_catalogues()) {
        const QString roms = summary.fault.empty()
            ? QString::number(summary.roms)
            : QStringLiteral("cannot be read: ") + QString::fromUtf8(summary.fault);
        add_row(table,
            {QString::fromUtf8(summary.name), QString::fromUtf8(summary.version), roms,
                from_file_system(summary.file)});
    }
    table->resizeColumnsToContents();
}

} // namespace

void show_catalogues(QWidget* parent, MessageService& messages, Shell& shell, const std::function<void()>& changed)
{
    const TableDialog shown = make_table_dialog(
        parent, "catalogues", QStringLiteral("Catalogues"), {"Name", "Version", "ROMs", "Registered as"});
    shown.summary->setText(QStringLiteral("The catalogues that verify names before the name database gives them, "
                                          "tried in this order; each is a copy kept in the program's data folder."));
    QTableWidget* table = shown.table;
    const auto refill = [=, &messages] {
        try {
            fill(table);
        } catch (const Error& error) {
            show_failure(shown.dialog, messages, error);
        }
    };
    // Each change of the list is made, said if it fails, and shown.
    const auto change = [=, &messages](const std::function<void()>& make) {
        try {
            make();
            changed();
        } catch (const Error& error) {
            show_failure(shown.dialog, messages, error);
        }
        refill();
    };
    QPushButton* add = shown.buttons->addButton(QStringLiteral("&Add..."), QDialogButtonBox::ActionRole);
    add->setObjectName(QStringLiteral("add_catalogue"));
    QObject::connect(add, &QPushButton::clicked, shown.dialog, [=, &shell] {
        const QString path = shell.choose_file(shown.dialog, QStringLiteral("Add a ROM catalogue"),
            QStringLiteral("ROM catalogues (*.dat *.xml *.txt *.gz *.zip *.7z);;All files (*)"));
        if (!path.isEmpty())
            change([&path] { add_catalogues({to_file_system(path)}); });
    });
    QPushButton* remove = shown.buttons->addButton(QStringLiteral("&Remove"), QDialogButtonBox::ActionRole);
    remove->setObjectName(QStringLiteral("remove_catalogue"));
    // Only a row shown selected is removed, and only when the user says so.
    remove->setEnabled(false);
    QObject::connect(table, &QTableWidget::itemSelectionChanged, remove,
        [=] { remove->setEnabled(!table->selectedItems().isEmpty()); });
    QObject::connect(remove, &QPushButton::clicked, shown.dialog, [=, &messages] {
        const QList<QTableWidgetItem*> selected = table->selectedItems();
        if (selected.isEmpty())
            return;
        const QString file = table->item(selected.front()->row(), file_column)->text();
        if (messages.show(shown.dialog,
                {"Cartonym Message:", "Remove the catalogue " + escaped_file_name(to_file_system(file)) + "?",
                    MessageIcon::exclamation},
                MessageButtons::OkCancel)
            == MessageAnswer::Ok)
            change([file] { remove_catalogue(to_file_system(file)); });
    });
    refill();
    shown.dialog->exec();
}

void save_catalogue_report(QWidget* parent, MessageService& messages, Shell& shell, const CatalogueSession* catalogues,
    const std::string& folder, const std::string& database_path, bool archives)
{
    if (!catalogues) {
        messages.show(parent,
            {"Cartonym Message:", "No catalogue is registered. Database > Catalogues... adds one.",
                MessageIcon::information});
        return;
    }
    const QString html = QStringLiteral("HTML page (*.htm *.html)"), csv_table = QStringLiteral("CSV table (*.csv)");
    QString filter;
    QString path = shell.choose_save_file(
        parent, QStringLiteral("Save the report"), html + QStringLiteral(";;") + csv_table, &filter);
    if (path.isEmpty())
        return;
    // The filter chosen decides the format; a name without one of its
    // extensions gets its first. Without a filter the name decides.
    const bool csv =
        filter.isEmpty() ? path.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive) : filter == csv_table;
    const QStringList extensions =
        csv ? QStringList{QStringLiteral(".csv")} : QStringList{QStringLiteral(".htm"), QStringLiteral(".html")};
    if (!std::ranges::any_of(extensions, [&](const QString& end) { return path.endsWith(end, Qt::CaseInsensitive); }))
        path += extensions.front();
    const std::string shown = escaped_file_name(to_file_system(path));
    try {
        const CatalogueReport report = make_report(*catalogues, folder, false, database_path, false, archives);
        write_report_file(to_file_system(path), csv ? report_csv(report) : report_html(report));
        messages.show(
            parent, {"Cartonym Message:", "The report was written to " + shown + ".", MessageIcon::information});
    } catch (const Error& error) {
        if (error.number() != ErrorNumber::file_already_exists)
            return show_failure(parent, messages, error);
        messages.show(parent,
            {"Cartonym Message:",
                "There is a file of that name already; it stays as it is and no report was written:\n\n" + shown
                    + "\n\nChoose another name.",
                MessageIcon::exclamation});
    }
}

} // namespace cartonym::ui
