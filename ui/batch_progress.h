// SPDX-License-Identifier: GPL-3.0-or-later
// A batch run's progress in the window's panel: the status line at once,
// the bar and the unknown list at most every few milliseconds, so that
// painting costs the run next to nothing.
#pragma once

#include "common/message.h"
#include "operations/batch_run.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QStringList>

#include <functional>

class QLabel;
class QListWidget;
class QProgressBar;

namespace cartonym::ui {

class BatchProgress {
public:
    BatchProgress(QLabel* status, QProgressBar* bar, QListWidget* unknown);

    // The observer that paints the run into the panel; show_message shows a
    // message box (the bar and the list are brought up to date first).
    BatchObserver observer(std::function<void(const Message&)> show_message);

    // Paints what is still pending.
    void flush() { paint(true); }

private:
    void paint(bool now);

    QLabel* status_;
    QProgressBar* bar_;
    QListWidget* unknown_;
    QElapsedTimer since_paint_;
    QStringList pending_unknown_;
    int step_ = 0;
};

} // namespace cartonym::ui
