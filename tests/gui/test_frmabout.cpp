// The About window: its controls and links, the scroller's frame rule
// against a clock the test sets by hand, and the wrap of the credits.
#include "testdienste.h"
#include "ui/frmabout.h"
#include "ui/steuerelemente.h"

#include <QtGui/QImage>
#include <QtTest/QtTest>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>

#include <memory>
#include <tuple>

using namespace cartonym;
using cartonym::ui::frmAbout;

namespace {

// Rows of the frame that hold a pixel of the credits' yellow.
QList<int> Gelbe_zeilen(const QPixmap& image)
{
    const QImage bild_rgb = image.toImage().convertToFormat(QImage::Format_RGB32);
    QList<int> lines;
    for (int y = 0; y < bild_rgb.height(); ++y) {
        for (int x = 0; x < bild_rgb.width(); ++x) {
            const QColor farbe = bild_rgb.pixelColor(x, y);
            if (farbe.red() > 200 && farbe.green() > 200 && farbe.blue() < 100) {
                lines << y;
                break;
            }
        }
    }
    return lines;
}

} // namespace

class FrmAbout_test : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup() { fenster_.reset(); }

    void Verweise();
    void Erstes_bild_zeigt_nichts_dann_kommt_der_text_herein();
    void Bildregel_mehr_als_40_ms_und_umlauf_erst_unter_minus_h();
    void Ok_und_schliessfeld_beenden_den_scroller();

private:
    test::Testmeldungen meldungen_;
    test::Testschale schale_;
    test::Testuhr uhr_;
    int freigaben_ = 0;
    std::unique_ptr<frmAbout> fenster_;
};

void FrmAbout_test::init()
{
    uhr_.now_ts = 5000;
    freigaben_ = 0;
    schale_.geoeffnet.clear();
    fenster_ = std::make_unique<frmAbout>(nullptr, meldungen_, schale_, uhr_, [this] { ++freigaben_; });
}

void FrmAbout_test::Verweise()
{
    frmAbout& f = *fenster_;
    QVERIFY(f.isModal());
    emit f.Label4->geklickt(), f.picScroll->geklickt(), f.Label6->geklickt();
    emit f.Label9->geklickt(), f.Label10->geklickt(), f.Picture1->geklickt();
    const QList<QUrl>& g = schale_.geoeffnet;
    QCOMPARE(g.size(), 6);
    QCOMPARE((QStringList{g[0].toString(), g[1].toString(), g[2].scheme(), g[2].path(), g[3].toString()}),
             (QStringList{f.Label4->text(), f.Label4->text(), QStringLiteral("mailto"), f.Label6->text(), f.Label9->text()}));
    QVERIFY(g[4] == g[5] && g[4] != g[0]);
}

void FrmAbout_test::Erstes_bild_zeigt_nichts_dann_kommt_der_text_herein()
{
    frmAbout& f = *fenster_;
    f.show();
    const int hoehe = f.picScroll->innen().height();
    // Opening drew the first frame at once: the text just below the area.
    QCOMPARE(std::tuple(f.image_count, f.Oben, f.Unten), std::tuple(1, hoehe - 1, hoehe - 1 + f.H));
    QVERIFY(Gelbe_zeilen(f.picScroll->image()).isEmpty());
    // One pixel a frame; after a few frames the first line shows at the bottom.
    for (int i = 0; i < 12; ++i) {
        uhr_.now_ts += 41;
        f.Rolldurchgang();
    }
    QCOMPARE(f.Oben, hoehe - 13);
    const QList<int> lines = Gelbe_zeilen(f.picScroll->image());
    QVERIFY(!lines.isEmpty());
    QVERIFY(lines.front() >= hoehe - 12);
}

void FrmAbout_test::Bildregel_mehr_als_40_ms_und_umlauf_erst_unter_minus_h()
{
    frmAbout& f = *fenster_;
    f.show();
    const int oben = f.Oben;
    const struct {
        int ms, images, oben;
    } steps[] = {
        {40, 1, oben},         // exactly 40 ms is not enough
        {1, 2, oben - 1},      // 41 ms since the last frame
        {0, 2, oben - 1},      // no time: no frame
        {500, 3, oben - 2},    // a late pass still draws only one frame
    };
    for (const auto& schritt : steps) {
        uhr_.now_ts += schritt.ms;
        f.Rolldurchgang();
        QCOMPARE(std::tuple(f.image_count, f.Oben), std::tuple(schritt.images, schritt.oben));
    }
    QCOMPARE(f.Letztes_bild, uhr_.now_ts);
    // The next frame is planned for the moment it falls due.
    QVERIFY(f.Rolltakt->isActive() && f.Rolltakt->interval() == 41);

    f.Oben = -f.H + 1;
    f.Unten = f.Oben + f.H;
    uhr_.now_ts += 41;
    f.Rolldurchgang();
    QCOMPARE(f.Oben, -f.H); // top = -H: no wrap yet
    uhr_.now_ts += 41;
    f.Rolldurchgang();
    QCOMPARE(f.Oben, f.picScroll->innen().height()); // top < -H: back below the area
    QCOMPARE(f.Unten, f.Oben + f.H);
}

void FrmAbout_test::Ok_und_schliessfeld_beenden_den_scroller()
{
    for (const bool mit_ok : {true, false}) {
        freigaben_ = 0;
        fenster_ = std::make_unique<frmAbout>(nullptr, meldungen_, schale_, uhr_, [this] { ++freigaben_; });
        fenster_->show();
        QVERIFY(!fenster_->Scroll_ende);
        if (mit_ok)
            fenster_->Command1->click();
        else
            fenster_->close();
        QVERIFY(fenster_->Scroll_ende && !fenster_->Rolltakt->isActive() && !fenster_->isVisible() && freigaben_ >= 1);
        const int images = fenster_->image_count;
        uhr_.now_ts += 100;
        fenster_->Rolldurchgang();
        QCOMPARE(fenster_->image_count, images);
    }
}

QTEST_MAIN(FrmAbout_test)
#include "test_frmabout.moc"
