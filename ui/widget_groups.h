// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers that act on a group of the window's controls at once.
#pragma once

#include <QtWidgets/QLabel>
#include <QtWidgets/QWidget>

#include <initializer_list>

namespace cartonym::ui {

// The role of a file list entry that holds its name as the file system's bytes.
constexpr int file_name_role = Qt::UserRole;

inline void set_visible(std::initializer_list<QWidget*> widgets, bool visible)
{
    for (QWidget* widget : widgets)
        widget->setVisible(visible);
}

// Empties the labels, and the tooltips that carried their whole texts.
inline void clear_labels(std::initializer_list<QLabel*> labels)
{
    for (QLabel* label : labels) {
        label->clear();
        label->setToolTip(QString());
    }
}

inline void repaint_now(std::initializer_list<QWidget*> widgets)
{
    for (QWidget* widget : widgets)
        widget->repaint();
}

} // namespace cartonym::ui
