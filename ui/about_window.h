// SPDX-License-Identifier: GPL-3.0-or-later
// frmAbout: the About window with its scrolling credits, its links, the
// name database in use and "Ok".
#pragma once

#include <QtGui/QFont>
#include <QtGui/QPixmap>
#include <QtWidgets/QDialog>

#include <cstdint>
#include <functional>

class QTimer;

namespace cartonym::ui {

class Clock;
class MessageService;
class ScrollArea;
class Shell;

class frmAbout : public QDialog {
    Q_OBJECT
public:
    // release_main_window hands the main window back when this one closes.
    frmAbout(QWidget* parent, MessageService& messages, Shell& shell, Clock& clock, const QString& database_path,
        std::function<void()> release_main_window);
    ~frmAbout() override;

    // The credits, lines separated by CR LF.
    static const char* const credits;

    // Scroller state: the drawing rectangle in pixels of the scroll area's
    // inner area, the height H of the credits block, the time of the last
    // frame, and the switch that ends the scroller.
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int H = 0;
    std::int64_t last_frame = 0;
    bool Scroll_ende = false;
    int frame_count = 0; // frames drawn since the window opened

    // Measures the credits and puts them just below the visible area; then
    // the frames follow, one at a time.
    void Scrolle_text();
    // One pass of the scroller: draws a frame when more than 40 ms have
    // passed since the last one, then waits for the next frame's time.
    void scroll_pass();

    void Command1_Click();
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void set_up_window();
    void offer_only_close();
    void wire_links();
    void draw_frame();
    void plan_next_frame();
    void stop_scroller();

    MessageService& messages_;
    Shell& shell_;
    Clock& clock_;
    std::function<void()> release_main_window_;
    ScrollArea* picScroll = nullptr;
    QTimer* scroll_timer = nullptr;
    QPixmap background_;
    QFont scroll_font_;
    QString credits_;
    bool started_ = false;
};

} // namespace cartonym::ui
