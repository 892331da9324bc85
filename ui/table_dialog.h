// SPDX-License-Identifier: GPL-3.0-or-later
// A dialog of a summary line, one table and its buttons, as the window's
// previews show them.
#pragma once

#include <QtCore/QString>
#include <QtCore/QStringList>

class QDialog;
class QDialogButtonBox;
class QLabel;
class QTableWidget;
class QWidget;

namespace cartonym::ui {

struct TableDialog {
    QDialog* dialog;
    QLabel* summary;
    QTableWidget* table;
    QDialogButtonBox* buttons;
};

// A dialog (deleted on close) named name, with a Close button.
TableDialog make_table_dialog(QWidget* parent, const char* name, const QString& title, const QStringList& columns);

// Appends one row; every cell carries its whole text as a tooltip.
void add_row(QTableWidget* table, const QStringList& cells);

} // namespace cartonym::ui
