// SPDX-License-Identifier: GPL-3.0-or-later
// The preview of a batch run: every decision of the run over a folder,
// taken without changing anything, shown as a table, with what would stop
// the run and a button that starts it.
#pragma once

#include "operations/batch_run.h"

#include <QtCore/QString>

#include <string>
#include <vector>

class QDialog;
class QWidget;

namespace cartonym::ui {

// A dialog named "batch_preview" (deleted on close) that names folder, says
// what would stop the run (obstacles) and what the run would do in the
// future tense, lists one row per file (the file, what the run would do with
// it, where it would go, why an archive is no image), and offers "Start Batchmode" (accepts) beside
// Close.
QDialog* make_batch_preview(
    QWidget* parent, const QString& folder, const BatchResult& dry_run, const std::vector<std::string>& obstacles);

// Why an archive is no image (passed_over_reason) in the window's words:
// that it cannot be read and why, or how many images it holds.
QString archive_reason_text(const std::string& reason);

} // namespace cartonym::ui
