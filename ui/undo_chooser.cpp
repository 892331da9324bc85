// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/undo_chooser.h"

#include "ui/table_dialog.h"

#include <QtCore/QDateTime>
#include <QtCore/QLocale>
#include <QtWidgets/QDialog>
#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QTableWidget>

namespace cartonym::ui {

QString local_time_text(const std::string& started)
{
    const QDateTime time = QDateTime::fromString(QString::fromStdString(started), Qt::ISODateWithMs);
    if (!time.isValid())
        return QString::fromStdString(started);
    return QLocale().toString(time.toLocalTime(), QLocale::LongFormat);
}

std::optional<std::string> choose_run(QWidget* parent, const QString& folder, const std::vector<RunSummary>& runs)
{
    TableDialog shown = make_table_dialog(parent, "undo_chooser", QStringLiteral("Undo batch run"),
        {QStringLiteral("Started"), QStringLiteral("Files moved"), QStringLiteral("State")});
    shown.summary->setText(QStringLiteral("Batch runs of %1 that can be taken back. Undo puts every file the chosen "
                                          "run moved back where it was and takes away its output folders, game list "
                                          "and log entries.")
                               .arg(folder));
    for (const RunSummary& run : runs) {
        const QString state = run.state == RunState::partly_undone ? QStringLiteral("partly undone")
            : run.interrupted                                      ? QStringLiteral("interrupted")
            : run.finished                                         ? QStringLiteral("finished")
                                                                   : QStringLiteral("stopped before its end");
        add_row(shown.table, {local_time_text(run.started), QString::number(run.moves), state});
    }
    shown.table->resizeColumnsToContents();
    shown.table->selectRow(0);
    QPushButton* undo = shown.buttons->addButton(QStringLiteral("&Undo"), QDialogButtonBox::AcceptRole);
    undo->setObjectName(QStringLiteral("undo"));
    QObject::connect(undo, &QPushButton::clicked, shown.dialog, &QDialog::accept);
    const int row = shown.table->currentRow();
    int chosen = row;
    QObject::connect(
        shown.table, &QTableWidget::currentCellChanged, shown.dialog, [&chosen](int current) { chosen = current; });
    if (shown.dialog->exec() != QDialog::Accepted || chosen < 0 || chosen >= static_cast<int>(runs.size()))
        return std::nullopt;
    return runs[static_cast<std::size_t>(chosen)].name;
}

} // namespace cartonym::ui
