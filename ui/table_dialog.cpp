// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/table_dialog.h"

#include <QtWidgets/QDialog>
#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QLabel>
#include <QtWidgets/QTableWidget>
#include <QtWidgets/QVBoxLayout>

namespace cartonym::ui {

TableDialog make_table_dialog(QWidget* parent, const char* name, const QString& title, const QStringList& columns)
{
    auto* dialog = new QDialog(parent);
    dialog->setObjectName(QLatin1String(name));
    dialog->setWindowTitle(title);
    // A plain dialog: a title and a close button, nothing to minimise.
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->resize(760, 420);
    auto* layout = new QVBoxLayout(dialog);
    auto* summary = new QLabel(dialog);
    summary->setObjectName(QStringLiteral("summary"));
    summary->setWordWrap(true);
    auto* table = new QTableWidget(0, static_cast<int>(columns.size()), dialog);
    table->setObjectName(QStringLiteral("table"));
    table->setHorizontalHeaderLabels(columns);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    layout->addWidget(summary);
    layout->addWidget(table);
    layout->addWidget(buttons);
    return {dialog, summary, table, buttons};
}

void add_row(QTableWidget* table, const QStringList& cells)
{
    const int row = table->rowCount();
    table->insertRow(row);
    for (int column = 0; column < cells.size(); ++column) {
        auto* item = new QTableWidgetItem(cells[column]);
        item->setToolTip(cells[column]);
        table->setItem(row, column, item);
    }
}

} // namespace cartonym::ui
