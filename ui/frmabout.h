// frmAbout: the About window with its scrolling credits, its links and "Ok".
#pragma once

#include <QtGui/QPixmap>
#include <QtWidgets/QDialog>

#include <cstdint>
#include <functional>

class QGroupBox;
class QLabel;
class QPushButton;
class QTimer;

namespace cartonym::ui {

class Meldungsdienst;
class Schale;
class Uhr;
class Verweislabel;

// The scroll area: a sunken border around an inner area that shows the last
// finished frame. Frames are drawn whole into a buffer and then shown at
// once, so no half-drawn frame ever reaches the screen.
class Rollbild : public QWidget {
    Q_OBJECT
public:
    explicit Rollbild(QWidget* eltern = nullptr);

    // The inner area, inside the border.
    QRect innen() const;
    void zeige(const QPixmap& image);
    const QPixmap& image() const { return bild_; }

signals:
    void geklickt();

protected:
    void paintEvent(QPaintEvent* ereignis) override;
    void mouseReleaseEvent(QMouseEvent* ereignis) override;

private:
    QPixmap bild_;
};

class frmAbout : public QDialog {
    Q_OBJECT
public:
    // Hauptfenster_freigeben hands the main window back when this one closes.
    frmAbout(QWidget* eltern, Meldungsdienst& messages, Schale& schale, Uhr& clock_,
             std::function<void()> Hauptfenster_freigeben);
    ~frmAbout() override;

    // The credits, lines separated by CR LF.
    static const char* const Abspann;

    // Scroller state: the drawing rectangle in pixels of the scroll area's
    // inner area, the height H of the credits block, the time of the last
    // frame, and the switch that ends the scroller.
    int Links = 0;
    int Oben = 0;
    int Rechts = 0;
    int Unten = 0;
    int H = 0;
    std::int64_t Letztes_bild = 0;
    bool Scroll_ende = false;
    int image_count = 0; // frames drawn since the window opened

    // Measures the credits and puts them just below the visible area; then
    // the frames follow, one at a time.
    void Scrolle_text();
    // One pass of the scroller: draws a frame when more than 40 ms have
    // passed since the last one, then waits for the next frame's time.
    void Rolldurchgang();

    void Command1_Click();

    Rollbild* picScroll = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label5 = nullptr;
    Verweislabel* Label6 = nullptr;
    QGroupBox* Frame1 = nullptr;
    QLabel* Label3 = nullptr;
    Verweislabel* Label4 = nullptr;
    QLabel* Label8 = nullptr;
    Verweislabel* Label9 = nullptr;
    Verweislabel* Picture1 = nullptr;
    Verweislabel* Label10 = nullptr;
    QLabel* Label11 = nullptr;
    QPushButton* Command1 = nullptr;
    QTimer* Rolltakt = nullptr;

    void done(int result) override;

protected:
    void showEvent(QShowEvent* ereignis) override;

private:
    void Zeichne_bild();
    void Plane_naechstes_bild();
    void Beende_scroller();

    Meldungsdienst& meldungen_;
    Schale& schale_;
    Uhr& uhr_;
    std::function<void()> Hauptfenster_freigeben_;
    QPixmap grund_;
    QFont rollschrift_;
    QString abspann_;
    bool gestartet_ = false;
};

} // namespace cartonym::ui
