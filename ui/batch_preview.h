// The preview of a batch run: every decision of the run over a folder,
// taken without changing anything, shown as a table.
#pragma once

#include "operations/batch_run.h"

class QDialog;
class QWidget;

namespace cartonym::ui {

// A dialog (deleted on close) with one row per file of the run: the file,
// what the run would do with it and where it would go, and the counts the
// run would end with.
QDialog* make_batch_preview(QWidget* parent, const BatchResult& dry_run);

} // namespace cartonym::ui
