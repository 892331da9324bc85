// The About window: its controls and links, the scroller's frame rule
// against a clock the test sets by hand, and the wrap of the credits.
#include "testdienste.h"
#include "ui/frmabout.h"
#include "ui/steuerelemente.h"

#include <QtGui/QImage>
#include <QtTest/QtTest>
#include <QtWidgets/QGroupBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>

#include <memory>

using namespace cartonym;
using cartonym::ui::frmAbout;

namespace {

// Rows of the frame that hold a pixel of the credits' yellow.
QList<int> Gelbe_zeilen(const QPixmap& bild)
{
    const QImage bild_rgb = bild.toImage().convertToFormat(QImage::Format_RGB32);
    QList<int> zeilen;
    for (int y = 0; y < bild_rgb.height(); ++y) {
        for (int x = 0; x < bild_rgb.width(); ++x) {
            const QColor farbe = bild_rgb.pixelColor(x, y);
            if (farbe.red() > 200 && farbe.green() > 200 && farbe.blue() < 100) {
                zeilen << y;
                break;
            }
        }
    }
    return zeilen;
}

} // namespace

class FrmAbout_test : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void Fenster_und_steuerelemente();
    void Verweise();
    void Erstes_bild_zeigt_nichts_dann_kommt_der_text_herein();
    void Bildregel_mehr_als_40_ms();
    void Umlauf_erst_unter_minus_h();
    void Ok_und_schliessfeld_beenden_den_scroller();
    void Scroller_laeuft_mit_der_echten_uhr();

private:
    test::Testmeldungen meldungen_;
    test::Testschale schale_;
    test::Testuhr uhr_;
    int freigaben_ = 0;
    std::unique_ptr<frmAbout> fenster_;
};

void FrmAbout_test::init()
{
    uhr_.jetzt = 5000;
    freigaben_ = 0;
    schale_.geoeffnet.clear();
    fenster_ = std::make_unique<frmAbout>(nullptr, meldungen_, schale_, uhr_, [this] { ++freigaben_; });
}

void FrmAbout_test::cleanup()
{
    fenster_.reset();
}

void FrmAbout_test::Fenster_und_steuerelemente()
{
    frmAbout& f = *fenster_;
    QCOMPARE(f.windowTitle(), QStringLiteral("About the Cartonym..."));
    QCOMPARE(f.size(), QSize(490, 413));
    QVERIFY(f.isModal());
    QVERIFY((f.windowFlags() & Qt::WindowType_Mask) == Qt::Tool);
    QVERIFY(!(f.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QCOMPARE(f.palette().color(QPalette::Window), QColor(192, 192, 192));
    QVERIFY(f.font().bold());
    QCOMPARE(f.picScroll->geometry(), QRect(8, 8, 257, 121));
    QCOMPARE(f.picScroll->innen().width(), 253);
    QCOMPARE(f.Command1->text(), QStringLiteral("Ok"));
    QCOMPARE(f.findChild<QGroupBox*>(QStringLiteral("Frame1"))->title(), QStringLiteral("[ Links: ]"));
    QCOMPARE(f.Label3->text(), QStringLiteral("The Cartonym Homepage:"));
    QCOMPARE(f.Label5->text(), QStringLiteral("Errors, suggestions, unknown Roms ? Feel free to email me:"));
    QVERIFY(f.Label11->text().endsWith(QStringLiteral("\nThank you !")));
    for (const QLabel* verweis : {static_cast<QLabel*>(f.Label4), static_cast<QLabel*>(f.Label6),
                                  static_cast<QLabel*>(f.Label9), static_cast<QLabel*>(f.Label10)}) {
        QVERIFY(verweis->font().underline());
        QCOMPARE(verweis->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QCOMPARE(verweis->cursor().shape(), Qt::BitmapCursor);
    }
    QCOMPARE(f.picScroll->cursor().shape(), Qt::BitmapCursor);
    QCOMPARE(f.Picture1->pixmap().size(), QSize(180, 60));
    QCOMPARE(QString::fromLatin1(frmAbout::Abspann).count(QStringLiteral("\r\n\r\n")), 2);
}

void FrmAbout_test::Verweise()
{
    frmAbout& f = *fenster_;
    emit f.Label4->geklickt();
    emit f.picScroll->geklickt();
    emit f.Label6->geklickt();
    emit f.Label9->geklickt();
    emit f.Label10->geklickt();
    emit f.Picture1->geklickt();
    QCOMPARE(schale_.geoeffnet.size(), 6);
    QCOMPARE(schale_.geoeffnet[0], schale_.geoeffnet[1]);
    QCOMPARE(schale_.geoeffnet[0].toString(), f.Label4->text());
    QCOMPARE(schale_.geoeffnet[2].scheme(), QStringLiteral("mailto"));
    QCOMPARE(schale_.geoeffnet[2].path(), f.Label6->text());
    QCOMPARE(schale_.geoeffnet[3].toString(), f.Label9->text());
    QCOMPARE(schale_.geoeffnet[4], schale_.geoeffnet[5]);
    QVERIFY(schale_.geoeffnet[4] != schale_.geoeffnet[0]);
}

void FrmAbout_test::Erstes_bild_zeigt_nichts_dann_kommt_der_text_herein()
{
    frmAbout& f = *fenster_;
    f.show();
    const int hoehe = f.picScroll->innen().height();
    QVERIFY(f.H > 0);
    // Opening drew the first frame at once: the text just below the area.
    QCOMPARE(f.Bilderzahl, 1);
    QCOMPARE(f.Letztes_bild, std::int64_t{5000});
    QCOMPARE(f.Oben, hoehe - 1);
    QCOMPARE(f.Unten, hoehe - 1 + f.H);
    QCOMPARE(f.Rechts - f.Links, 253);
    QVERIFY(Gelbe_zeilen(f.picScroll->bild()).isEmpty());

    // One pixel a frame; after a few frames the first line shows at the bottom.
    for (int i = 0; i < 12; ++i) {
        uhr_.jetzt += 41;
        f.Rolldurchgang();
    }
    QCOMPARE(f.Bilderzahl, 13);
    QCOMPARE(f.Oben, hoehe - 13);
    const QList<int> zeilen = Gelbe_zeilen(f.picScroll->bild());
    QVERIFY(!zeilen.isEmpty());
    QVERIFY(zeilen.front() >= hoehe - 12);
}

void FrmAbout_test::Bildregel_mehr_als_40_ms()
{
    frmAbout& f = *fenster_;
    f.show();
    QCOMPARE(f.Bilderzahl, 1);
    const int oben = f.Oben;
    uhr_.jetzt += 40;
    f.Rolldurchgang();
    QCOMPARE(f.Bilderzahl, 1); // exactly 40 ms is not enough
    QCOMPARE(f.Oben, oben);
    uhr_.jetzt += 1;
    f.Rolldurchgang();
    QCOMPARE(f.Bilderzahl, 2);
    QCOMPARE(f.Oben, oben - 1);
    QCOMPARE(f.Letztes_bild, uhr_.jetzt);
    f.Rolldurchgang();
    QCOMPARE(f.Bilderzahl, 2);
    uhr_.jetzt += 500; // a late pass still draws only one frame
    f.Rolldurchgang();
    QCOMPARE(f.Bilderzahl, 3);
    QCOMPARE(f.Oben, oben - 2);
    // The next frame is planned for the moment it falls due.
    QVERIFY(f.Rolltakt->isActive());
    QCOMPARE(f.Rolltakt->interval(), 41);
}

void FrmAbout_test::Umlauf_erst_unter_minus_h()
{
    frmAbout& f = *fenster_;
    f.show();
    const int hoehe = f.picScroll->innen().height();
    f.Oben = -f.H + 1;
    f.Unten = f.Oben + f.H;
    uhr_.jetzt += 41;
    f.Rolldurchgang();
    QCOMPARE(f.Oben, -f.H); // top = -H: no wrap yet
    uhr_.jetzt += 41;
    f.Rolldurchgang();
    QCOMPARE(f.Oben, hoehe); // top < -H: back below the area
    QCOMPARE(f.Unten, hoehe + f.H);
}

void FrmAbout_test::Ok_und_schliessfeld_beenden_den_scroller()
{
    fenster_->show();
    fenster_->Command1->click();
    QVERIFY(fenster_->Scroll_ende);
    QVERIFY(!fenster_->Rolltakt->isActive());
    QVERIFY(!fenster_->isVisible());
    QVERIFY(freigaben_ >= 1);
    const int bilder = fenster_->Bilderzahl;
    uhr_.jetzt += 100;
    fenster_->Rolldurchgang();
    QCOMPARE(fenster_->Bilderzahl, bilder);

    freigaben_ = 0;
    fenster_ = std::make_unique<frmAbout>(nullptr, meldungen_, schale_, uhr_, [this] { ++freigaben_; });
    QVERIFY(!fenster_->Scroll_ende);
    fenster_->show();
    fenster_->close();
    QVERIFY(fenster_->Scroll_ende);
    QVERIFY(!fenster_->Rolltakt->isActive());
    QCOMPARE(freigaben_, 1);
}

void FrmAbout_test::Scroller_laeuft_mit_der_echten_uhr()
{
    frmAbout fenster(nullptr, meldungen_, schale_, ui::Standard_uhr(), [] {});
    fenster.show();
    const int oben = fenster.Oben;
    QTRY_VERIFY(fenster.Bilderzahl >= 4);
    QCOMPARE(fenster.Oben, oben - (fenster.Bilderzahl - 1));
}

QTEST_MAIN(FrmAbout_test)
#include "test_frmabout.moc"
