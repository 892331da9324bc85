// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/batch_progress.h"

#include "operations/engine.h"
#include "ui/clock.h"
#include "ui/text_conversion.h"

#include <QtWidgets/QLabel>
#include <QtWidgets/QListWidget>
#include <QtWidgets/QProgressBar>

namespace cartonym::ui {
namespace {

// Painting is the window's only cost beyond the core's own work: the bar and
// the unknown list are brought up to date at most this often (and at the end),
// the names in between being added in one go.
constexpr qint64 repaint_interval_ms = 40;

} // namespace

BatchProgress::BatchProgress(QLabel* status, QProgressBar* bar, QListWidget* unknown, const Clock& clock)
    : status_(status)
    , bar_(bar)
    , unknown_(unknown)
    , clock_(clock)
{
    since_paint_.start();
}

BatchObserver BatchProgress::observer(std::function<void(const Message&)> show_message)
{
    BatchObserver observer;
    observer.status = [this](const std::string& text) {
        status_->setText(from_cp1252(text));
        status_->repaint();
    };
    // "104 of 2000 files done, about 3 min left - <file>", the name elided to fit.
    observer.file_started = [this](std::int32_t number, std::int32_t count, const std::string& file) {
        const std::int64_t now = clock_.milliseconds();
        if (number == 1)
            first_file_ms_ = now;
        const QString done = QString::fromStdString(progress_text(number, count, now - first_file_ms_) + " - ");
        const int room = status_->contentsRect().width() - status_->fontMetrics().horizontalAdvance(done);
        status_->setText(done + status_->fontMetrics().elidedText(from_file_system(file), Qt::ElideMiddle, room));
    };
    observer.progress = [this](float value) {
        const int step = static_cast<int>(value);
        if (step == step_)
            return;
        step_ = step;
        paint(step == 0 || step == 100);
    };
    observer.unknown = [this](const std::string& file) {
        pending_unknown_ << from_file_system(file);
        paint(false);
    };
    observer.unknown_cleared = [this] {
        pending_unknown_.clear();
        unknown_->clear();
    };
    observer.message = [this, show = std::move(show_message)](const Message& message) {
        paint(true);
        show(message);
    };
    return observer;
}

// QProgressBar::setValue repaints at once, so it too waits its turn.
void BatchProgress::paint(bool now)
{
    if (!now && since_paint_.elapsed() < repaint_interval_ms)
        return;
    if (!pending_unknown_.isEmpty()) {
        unknown_->addItems(pending_unknown_);
        pending_unknown_.clear();
        unknown_->repaint();
    }
    bar_->setValue(step_);
    status_->repaint();
    since_paint_.restart();
}

} // namespace cartonym::ui
