// SPDX-License-Identifier: GPL-3.0-or-later
// A batch run's progress in the window's panel: the status line at once
// (during the run: the files done of the run's count, the time left and the
// file in hand), the bar and the unknown list painted at most every few
// milliseconds, so that painting costs the run next to nothing.
#pragma once

#include "common/message.h"
#include "operations/batch_run.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QStringList>

#include <cstdint>
#include <functional>

class QLabel;
class QListWidget;
class QProgressBar;

namespace cartonym::ui {

class Clock;

class BatchProgress {
public:
    // clock tells the time the estimate of the time left is made from.
    BatchProgress(QLabel* status, QProgressBar* bar, QListWidget* unknown, const Clock& clock);

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
    const Clock& clock_;
    std::int64_t first_file_ms_ = 0;
    QElapsedTimer since_paint_;
    QStringList pending_unknown_;
    int step_ = 0;
};

} // namespace cartonym::ui
