// SPDX-License-Identifier: GPL-3.0-or-later
// File > Undo batch run...: the runs of a folder to choose from.
#pragma once

#include "operations/run_undo.h"

#include <QtCore/QString>

#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace cartonym::ui {

// A run's start time in the user's locale and time zone.
QString local_time_text(const std::string& started);

// Shows the runs (newest first: start time, files moved, state) in a dialog
// named "undo_chooser" whose "Undo" takes the chosen run; returns its name,
// or nullopt when the dialog is closed.
std::optional<std::string> choose_run(QWidget* parent, const QString& folder, const std::vector<RunSummary>& runs);

} // namespace cartonym::ui
