#include "ui/form1.h"

#include "common/program_info.h"
#include "common/number_text.h"
#include "naming/file_names.h"
#include "operations/batch_run.h"
#include "operations/file_mode.h"
#include "operations/folder_listing.h"
#include "ui/anzeige.h"
#include "ui/frmabout.h"
#include "ui/meldungsdienst.h"
#include "ui/steuerelemente.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QSignalBlocker>
#include <QtCore/QStorageInfo>
#include <QtCore/QTimer>
#include <QtGui/QAction>
#include <QtGui/QScreen>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QGroupBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLayout>
#include <QtWidgets/QListWidget>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QProgressBar>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QRadioButton>

#include <initializer_list>

namespace cartonym::ui {
namespace {

constexpr int Namensrolle = Qt::UserRole; // a file's name as the file system's bytes

// Places a control: name, position and size in twips, relative to its container.
template <typename Steuerelement>
Steuerelement* Setze(Steuerelement* element, const char* name, int links, int oben, int breite, int hoehe)
{
    element->setObjectName(QLatin1String(name));
    element->setGeometry(Pixel(links), Pixel(oben), Pixel(breite), Pixel(hoehe));
    return element;
}

QLabel* Beschriftung(QWidget* eltern, const char* name, const char* text, Qt::Alignment ausrichtung,
                     int links, int oben, int breite, int hoehe)
{
    auto* label = Setze(new QLabel(QString::fromLatin1(text), eltern), name, links, oben, breite, hoehe);
    label->setFont(Fette_schrift());
    label->setAlignment(ausrichtung | Qt::AlignTop);
    label->setWordWrap(true);
    return label;
}

QLabel* Wertlabel(QWidget* eltern, const char* name, int links, int oben, int breite, int hoehe)
{
    auto* label = Setze(new QLabel(eltern), name, links, oben, breite, hoehe);
    label->setFont(Dialogschrift());
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setTextFormat(Qt::PlainText);
    return label;
}

void Faerbe_hintergrund(QWidget* element, const QColor& farbe)
{
    QPalette palette = element->palette();
    palette.setColor(QPalette::Window, farbe);
    element->setPalette(palette);
    element->setAutoFillBackground(true);
}

void Faerbe_text(QWidget* element, const QColor& farbe)
{
    QPalette palette = element->palette();
    palette.setColor(QPalette::WindowText, farbe);
    element->setPalette(palette);
}

void Zeige(std::initializer_list<QWidget*> elemente, bool sichtbar)
{
    for (QWidget* element : elemente)
        element->setVisible(sichtbar);
}

void Leere(std::initializer_list<QLabel*> labels)
{
    for (QLabel* label : labels)
        label->clear();
}

} // namespace

Form1::Form1(std::string Datenbankpfad, Meldungsdienst& meldungen, Schale& schale, Uhr& uhr, QWidget* eltern)
    : QMainWindow(eltern)
    , Programmende([] { QCoreApplication::exit(0); })
    , Datenbankpfad_(std::move(Datenbankpfad))
    , meldungen_(meldungen)
    , schale_(schale)
    , uhr_(uhr)
{
    Lade_bilder();
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("The Cartonym v%1.%2 by %3 - %4")
                       .arg(Programm::Version_major)
                       .arg(Programm::Version_minor)
                       .arg(QString::fromUtf8(Programm::Autor), QString::fromUtf8(Programm::Homepage)));
    setWindowIcon(QIcon(QStringLiteral(":/bilder/symbol.png")));
    // Fixed size with a minimise button and no maximise button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    Baue_fenster();
    Baue_menue();
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    adjustSize();
    if (const QScreen* bildschirm = screen())
        move(bildschirm->availableGeometry().center() - rect().center());

    Fuelle_laufwerke();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(Timerintervall);
    connect(Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
    Timer1->start();
}

void Form1::Baue_fenster()
{
    auto* flaeche = new Bildflaeche(QPixmap(QStringLiteral(":/bilder/hintergrund.png")), this);
    flaeche->setObjectName(QStringLiteral("Flaeche"));
    flaeche->setFixedSize(Pixel(8535), Pixel(7770));
    setCentralWidget(flaeche);

    const QColor grau(192, 192, 192);
    const QColor rahmenfarbe = palette().color(QPalette::Window);

    // Mode.
    Frame1 = Setze(new QGroupBox(QStringLiteral("Mode:"), flaeche), "Frame1", 120, 0, 2775, 1575);
    Frame1->setFont(Fette_schrift());
    Faerbe_hintergrund(Frame1, grau);
    Dateimodus = Setze(new QRadioButton(QStringLiteral("Rename a single file"), Frame1), "Dateimodus", 240, 240, 2295, 255);
    Dateimodus->setFont(Dialogschrift());
    Dateimodus->setChecked(true);
    Batchmodus = Setze(new QRadioButton(QStringLiteral("Batchmode"), Frame1), "Batchmodus", 240, 480, 1215, 255);
    Batchmodus->setFont(Dialogschrift());
    Modusbeschreibung = Setze(new QLabel(Frame1), "Modusbeschreibung", 150, 840, 2475, 675);
    Modusbeschreibung->setFont(Dialogschrift());
    Modusbeschreibung->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Modusbeschreibung->setWordWrap(true);
    Faerbe_hintergrund(Modusbeschreibung, grau);

    // File-name style.
    Frame2 = Setze(new QGroupBox(QStringLiteral("Filenames:"), flaeche), "Frame2", 120, 1680, 2775, 1575);
    Frame2->setFont(Fette_schrift());
    Faerbe_hintergrund(Frame2, rahmenfarbe);
    Optiondateinamennormal = Setze(new QRadioButton(QStringLiteral("Normal long filenames"), Frame2),
                                   "Optiondateinamennormal", 120, 240, 2415, 195);
    Optiondateinamennormal->setFont(Dialogschrift());
    Optiondateinamennormal->setChecked(true);
    Optiondateinamenultrahle = Setze(new QRadioButton(QStringLiteral("Long filenames without spaces"), Frame2),
                                     "Optiondateinamenultrahle", 120, 480, 2535, 255);
    Optiondateinamenultrahle->setFont(Dialogschrift());
    Namenmodus = Setze(new QLabel(Frame2), "Namenmodus", 120, 840, 2535, 615);
    Namenmodus->setFont(Dialogschrift());
    Namenmodus->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Namenmodus->setWordWrap(true);
    Faerbe_hintergrund(Namenmodus, rahmenfarbe);

    // Game list.
    Frame3 = Setze(new QGroupBox(QStringLiteral("List:"), flaeche), "Frame3", 120, 3360, 2775, 615);
    Frame3->setFont(Fette_schrift());
    Faerbe_hintergrund(Frame3, rahmenfarbe);
    Checkgamelist = Setze(new QCheckBox(QStringLiteral("Create gamelist (games.htm)"), Frame3), "Checkgamelist",
                          120, 240, 2535, 315);
    Checkgamelist->setFont(Dialogschrift());
    Checkgamelist->setEnabled(false);

    // Browser.
    Label1 = Beschriftung(flaeche, "Label1", "File to rename:", Qt::AlignHCenter, 3000, 0, 2415, 255);
    Laufwerk = Setze(new QComboBox(flaeche), "Laufwerk", 3000, 240, 2535, 315);
    Laufwerk->setFont(Dialogschrift());
    Ordner = Setze(new Ordnerliste(flaeche), "Ordner", 3000, 600, 2535, 3240);
    Ordner->setFont(Dialogschrift());
    Dateien = Setze(new QListWidget(flaeche), "Dateien", 5640, 240, 2775, 3600);
    Dateien->setFont(Dialogschrift());
    Dateien->setSelectionMode(QAbstractItemView::SingleSelection);

    // Image information of file mode.
    const Qt::Alignment rechts = Qt::AlignRight;
    Label3 = Beschriftung(flaeche, "Label3", "Filename:", rechts, 960, 4080, 1215, 255);
    Dateiname = Wertlabel(flaeche, "Dateiname", 2400, 4080, 6015, 255);
    Label2 = Beschriftung(flaeche, "Label2", "Filetype:", rechts, 840, 4440, 1335, 255);
    Dateityp = Wertlabel(flaeche, "Dateityp", 2400, 4440, 5895, 255);
    Label4 = Beschriftung(flaeche, "Label4", "Internal Romname:", rechts, 1080, 4800, 1095, 375);
    Romname = Wertlabel(flaeche, "Romname", 2400, 4920, 3735, 255);
    Label5 = Beschriftung(flaeche, "Label5", "Manufacturer code:", rechts, 120, 5280, 2055, 255);
    Hersteller = Wertlabel(flaeche, "Hersteller", 2400, 5280, 2775, 255);
    Label6 = Beschriftung(flaeche, "Label6", "Romtype:", rechts, 840, 5640, 1335, 255);
    Cardid = Wertlabel(flaeche, "Cardid", 2400, 5640, 2775, 255);
    Label7 = Beschriftung(flaeche, "Label7", "Country:", rechts, 1200, 6000, 975, 255);
    Land = Wertlabel(flaeche, "Land", 2400, 6000, 3735, 255);
    Label9 = Beschriftung(flaeche, "Label9", "Full name:", rechts, 120, 6360, 2055, 255);
    Namevoll = Wertlabel(flaeche, "Namevoll", 2400, 6360, 3735, 255);
    Label16 = Beschriftung(flaeche, "Label16", "Checksum (Hex):", rechts, 4920, 4800, 1815, 255);
    CRC1label = Wertlabel(flaeche, "CRC1label", 6960, 4800, 1335, 255);
    Label15 = Beschriftung(flaeche, "Label15", "ROM Size:", rechts, 5520, 5160, 1215, 255);
    sizelabel = Wertlabel(flaeche, "sizelabel", 6960, 5160, 1335, 255);
    Label8 = Beschriftung(flaeche, "Label8", "Suggested new filename:", Qt::AlignHCenter, 120, 6720, 8295, 255);
    Faerbe_text(Label8, QColor(0, 0, 192));
    Nameneu = Wertlabel(flaeche, "Nameneu", 1080, 6960, 6255, 255);
    Nameneu->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Faerbe_hintergrund(Nameneu, QColor(224, 224, 224));

    // Counters of batch mode.
    Label12 = Beschriftung(flaeche, "Label12", "Total files in directory:", rechts, 2160, 4680, 2535, 255);
    Labelinsgesamt = Wertlabel(flaeche, "Labelinsgesamt", 4920, 4680, 615, 255);
    Label13 = Beschriftung(flaeche, "Label13", "SNES ROMs:", rechts, 3120, 5040, 1575, 255);
    Labelanzahlroms = Wertlabel(flaeche, "Labelanzahlroms", 4920, 5040, 615, 255);
    Label10 = Beschriftung(flaeche, "Label10", "ROMs that had alredy the correct filename:", rechts, 240, 5400, 4455, 255);
    Labelschonrichtig = Wertlabel(flaeche, "Labelschonrichtig", 4920, 5400, 615, 255);
    Label14 = Beschriftung(flaeche, "Label14", "Successfully renamed:", rechts, 1560, 5760, 3135, 255);
    Labelumbenannt = Wertlabel(flaeche, "Labelumbenannt", 4920, 5760, 615, 255);
    Label18 = Beschriftung(flaeche, "Label18", "Duplicates (see subdir Duplicates):", rechts, 720, 6120, 3975, 255);
    Labelduplikate = Wertlabel(flaeche, "Labelduplikate", 4920, 6120, 615, 255);
    Label11 = Beschriftung(flaeche, "Label11", "Unknown SNES ROMs (see subdir Unknown_ROMs):", Qt::AlignHCenter,
                           5520, 4080, 2895, 495);
    Listeunbekannt = Setze(new QListWidget(flaeche), "Listeunbekannt", 5520, 4560, 2895, 2010);
    Listeunbekannt->setFont(Dialogschrift());
    Label17 = Wertlabel(flaeche, "Label17", 120, 6840, 5535, 255);
    Label17->setText(QStringLiteral("Batchmode Status:"));
    ProgressBar = Setze(new QProgressBar(flaeche), "ProgressBar", 120, 7080, 8295, 135);
    ProgressBar->setRange(0, 100);
    ProgressBar->setValue(0);
    ProgressBar->setTextVisible(false);

    // The two buttons share one spot; at most one of them is visible.
    Command2 = Setze(new QPushButton(QStringLiteral("Rename file"), flaeche), "Command2", 3000, 7320, 2295, 375);
    Command2->setFont(Fette_schrift());
    Command2->hide();
    Batchrun = Setze(new QPushButton(QStringLiteral("Start Batchmode"), flaeche), "Batchrun", 3000, 7320, 2295, 375);
    Batchrun->setFont(Fette_schrift());
    Batchrun->hide();

    // The option buttons and the check box keep their text close to the box,
    // as the narrow places of the layout need.
    for (QWidget* knopf : {static_cast<QWidget*>(Dateimodus), static_cast<QWidget*>(Batchmodus),
                           static_cast<QWidget*>(Optiondateinamennormal), static_cast<QWidget*>(Optiondateinamenultrahle),
                           static_cast<QWidget*>(Checkgamelist)})
        knopf->setStyleSheet(QStringLiteral("spacing: 3px;"));

    connect(Dateimodus, &QRadioButton::clicked, this, &Form1::Dateimodus_Click);
    connect(Batchmodus, &QRadioButton::clicked, this, &Form1::Batchmodus_Click);
    connect(Optiondateinamennormal, &QRadioButton::clicked, this, &Form1::Optiondateinamennormal_Click);
    connect(Optiondateinamenultrahle, &QRadioButton::clicked, this, &Form1::Optiondateinamenultrahle_Click);
    connect(Laufwerk, &QComboBox::currentIndexChanged, this, &Form1::Laufwerk_Change);
    connect(Ordner, &Ordnerliste::pfad_geaendert, this, &Form1::Ordner_Change);
    connect(Ordner, &Ordnerliste::oeffnen_fehlgeschlagen, this, [this](int, const QString& beschreibung) {
        meldungen_.zeige(this, {"Error !", Systempfad(beschreibung), Meldungssymbol::Ausrufezeichen});
    });
    connect(Dateien, &QListWidget::itemSelectionChanged, this, &Form1::Dateien_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(Batchrun, &QPushButton::clicked, this, &Form1::Batchrun_Click);
}

void Form1::Baue_menue()
{
    dateimenu = menuBar()->addMenu(QStringLiteral("File"));
    dateimenu->setObjectName(QStringLiteral("dateimenu"));
    beenden = dateimenu->addAction(QStringLiteral("Exit"));
    beenden->setObjectName(QStringLiteral("beenden"));
    beenden->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));
    connect(beenden, &QAction::triggered, this, &Form1::beenden_Click);

    hilfemenu = menuBar()->addMenu(QStringLiteral("Help"));
    hilfemenu->setObjectName(QStringLiteral("hilfemenu"));
    homepage = hilfemenu->addAction(QStringLiteral("The Cartonym Homepage"));
    homepage->setObjectName(QStringLiteral("homepage"));
    connect(homepage, &QAction::triggered, this, &Form1::homepage_Click);
    about = hilfemenu->addAction(QStringLiteral("About..."));
    about->setObjectName(QStringLiteral("about"));
    about->setShortcut(QKeySequence(Qt::Key_F1));
    connect(about, &QAction::triggered, this, &Form1::about_Click);
}

// The drives of this system: every mounted volume and the home folder. The
// list starts on the volume that holds the current folder, the folder list
// on the current folder itself.
void Form1::Fuelle_laufwerke()
{
    const QString start = QDir::currentPath();
    QString startlaufwerk;
    Laufwerk->blockSignals(true);
    for (const QStorageInfo& volumen : QStorageInfo::mountedVolumes()) {
        const QString wurzel = volumen.rootPath();
        QString text = wurzel;
        if (!volumen.displayName().isEmpty() && volumen.displayName() != wurzel)
            text += QStringLiteral(" [%1]").arg(volumen.displayName());
        Laufwerk->addItem(text, wurzel);
        if (start.startsWith(wurzel) && wurzel.size() > startlaufwerk.size())
            startlaufwerk = wurzel;
    }
    const QString heim = QDir::homePath();
    Laufwerk->addItem(QStringLiteral("%1 [home]").arg(heim), heim);
    if (start.startsWith(heim) && heim.size() > startlaufwerk.size())
        startlaufwerk = heim;
    Laufwerk->setCurrentIndex(qMax(0, Laufwerk->findData(startlaufwerk)));
    Laufwerk->blockSignals(false);

    try {
        Ordner->setze_pfad(start);
    } catch (const Fehler&) {
        try {
            Ordner->setze_pfad(heim);
        } catch (const Fehler& fehler) {
            Zeige_fehler(fehler);
        }
    }
}

std::string Form1::Ordnerpfad() const
{
    return Systempfad(Ordner->pfad());
}

// Reads the folder's files into Dateien, sorted by name. Selecting nothing,
// so that no file is analysed until the user picks one.
void Form1::Lies_dateien()
{
    const QSignalBlocker sperre(Dateien);
    Dateien->clear();
    const std::vector<std::string> namen = Liste_dateien(Ordnerpfad());
    for (const std::string& name : namen) {
        auto* eintrag = new QListWidgetItem(Qpfad(name), Dateien);
        eintrag->setData(Namensrolle, QByteArray(name.data(), static_cast<qsizetype>(name.size())));
    }
}

void Form1::Zeige_fehler(const Fehler& fehler)
{
    meldungen_.zeige(this, {"Error !", Fehlertext_kurz(fehler), Meldungssymbol::Ausrufezeichen});
}

// The error trap of the file-mode and batch handlers: a failure ends the
// handler with the failure message naming the file in hand.
void Form1::Fange_dateifehler(const std::function<void()>& schritte)
{
    try {
        schritte();
    } catch (const Fehler& fehler) {
        meldungen_.zeige(this, {"Error !", Fehlertext_datei(fehler, Cp1252_pfad(Dateipfad)),
                                Meldungssymbol::Ausrufezeichen});
    } catch (const std::exception& fehler) {
        Zeige_unerwartet(fehler);
    }
}

void Form1::Zeige_unerwartet(const std::exception& fehler)
{
    meldungen_.zeige(this, {"Error !", Cp1252_pfad(fehler.what()), Meldungssymbol::Ausrufezeichen});
}

// The refresh: fits the window to the chosen mode and file-name style. A
// change to a control it governs is undone here at the next tick.
void Form1::Timer1_Timer()
{
    setEnabled(true);
    if (Dateimodus->isChecked()) {
        Modusbeschreibung->setText(QStringLiteral("Use this mode to rename single ROM-Images"));
        Dateien->setEnabled(true);
        Batchrun->setVisible(false);
        Zeige({Label2, Label3, Label4, Label5, Label6, Label7, Label8, Label9, Label16, Label15, Nameneu, Romname,
               Hersteller, Cardid, Land, Namevoll, Dateiname, Dateityp, CRC1label, sizelabel},
              true);
        Zeige({Labelschonrichtig, Label10, Listeunbekannt, Label11, Label12, Labelinsgesamt, Label13,
               Labelanzahlroms, Label14, Labelumbenannt, Label18, Labelduplikate, ProgressBar, Label17},
              false);
    } else if (Batchmodus->isChecked()) {
        Modusbeschreibung->setText(QStringLiteral("Use this mode to rename all ROM-Images in a directory"));
        Dateien->setEnabled(false);
        Batchrun->setVisible(true);
        Zeige({Label2, Label3, Label4, Label5, Label6, Label7, Label8, Label9, Label16, Label15, Nameneu, Romname,
               Hersteller, Cardid, Land, Namevoll, Dateiname, Dateityp, CRC1label, sizelabel},
              false);
        Zeige({ProgressBar, Label17}, true);
    }
    if (Optiondateinamennormal->isChecked())
        Namenmodus->setText(QStringLiteral("Normal long filenames that also can contain spaces will be used"));
    else if (Optiondateinamenultrahle->isChecked())
        Namenmodus->setText(QStringLiteral("Long filenames will be used, spaces will be replaced by underscores\n( _ )"));
}

void Form1::Dateimodus_Click()
{
    try {
        Leere({Nameneu, Romname, Hersteller, Cardid, Land, Namevoll, Dateiname, Dateityp, CRC1label, sizelabel});
        Lies_dateien();
        Checkgamelist->setEnabled(false);
    } catch (const Fehler& fehler) {
        Zeige_fehler(fehler);
    } catch (const std::exception& fehler) {
        Zeige_unerwartet(fehler);
    }
}

void Form1::Batchmodus_Click()
{
    Zeige({Label10, Labelschonrichtig, Listeunbekannt, Label11, Label12, Labelinsgesamt, Label13, Labelanzahlroms,
           Label14, Labelumbenannt, Label18, Labelduplikate},
          true);
    Leere({Labelschonrichtig, Labelinsgesamt, Labelanzahlroms, Labelumbenannt, Labelduplikate});
    Command2->setVisible(false);
    ProgressBar->setValue(0);
    Label17->setText(QStringLiteral("Batchmode Status:"));
    Checkgamelist->setEnabled(true);
}

// One whole batch run, on this thread and without returning to the event
// loop until it is over: no tick and no click comes between its steps. The
// progress bar and the status line are repainted as the run reports them.
void Form1::Batchrun_Click()
{
    Fange_dateifehler([&] {
        Neuer_name.clear();
        Leere({Romname, Hersteller, Cardid, Land, Namevoll, Nameneu});
        ProgressBar->setValue(0);
        Label17->setVisible(true);
        Lies_dateien();

        Batchoptionen optionen;
        optionen.Ordner = Ordnerpfad();
        optionen.Datenbankpfad = Datenbankpfad_;
        optionen.ohne_leerzeichen = !Optiondateinamennormal->isChecked();
        optionen.spielliste = Checkgamelist->isChecked();

        Batchbeobachter beobachter;
        beobachter.status = [this](const std::string& text) {
            Label17->setText(Qtext(text));
            Label17->repaint();
        };
        beobachter.fortschritt = [this](float wert) {
            ProgressBar->setValue(static_cast<int>(wert));
            ProgressBar->repaint();
        };
        beobachter.unbekannt = [this](const std::string& datei) { Listeunbekannt->addItem(Qpfad(datei)); };
        beobachter.unbekannte_geleert = [this] { Listeunbekannt->clear(); };
        beobachter.meldung = [this](const Meldung& meldung) { meldungen_.zeige(this, meldung); };

        const Batchergebnis ergebnis = cartonym::Batchrun(optionen, beobachter);
        // The folder list shows the output folders the run created or removed.
        try {
            const QSignalBlocker still(Ordner);
            Ordner->setze_pfad(Ordner->pfad());
        } catch (const Fehler&) {
            // The folder itself vanished; the next choice in the list tells.
        }
        if (ergebnis.ausgang != Batchausgang::Abgeschlossen)
            return;

        const Batchzaehler& zaehler = ergebnis.zaehler;
        Labelschonrichtig->setText(Qtext(Dezimaltext(zaehler.schon_richtig)));
        Labelinsgesamt->setText(Qtext(Dezimaltext(zaehler.insgesamt)));
        Labelanzahlroms->setText(Qtext(Dezimaltext(zaehler.roms())));
        Labelumbenannt->setText(Qtext(Dezimaltext(zaehler.umbenannt)));
        Labelduplikate->setText(Qtext(Dezimaltext(zaehler.duplikate)));
        Lies_dateien();
    });
}

// A new drive: the folder list moves to its root. A drive that cannot be
// opened asks Retry or Cancel; Cancel leaves the folder list where it was.
void Form1::Laufwerk_Change()
{
    const QString wurzel = Laufwerk->currentData().toString();
    for (;;) {
        try {
            Ordner->setze_pfad(wurzel);
            return;
        } catch (const Fehler& fehler) {
            const Meldungsantwort antwort = meldungen_.zeige(
                this, {"Error !", fehler.beschreibung(), Meldungssymbol::Keines}, Meldungsknoepfe::Wiederholen_abbrechen);
            if (antwort != Meldungsantwort::Wiederholen)
                return;
        } catch (const std::exception& fehler) {
            Zeige_unerwartet(fehler);
            return;
        }
    }
}

void Form1::Ordner_Change()
{
    try {
        Lies_dateien();
    } catch (const Fehler& fehler) {
        Dateien->clear();
        Zeige_fehler(fehler);
    } catch (const std::exception& fehler) {
        Zeige_unerwartet(fehler);
    }
}

// A file chosen in the list: analysed, looked up, shown in the chosen style.
void Form1::Dateien_Click()
{
    const QList<QListWidgetItem*> auswahl = Dateien->selectedItems();
    if (auswahl.isEmpty())
        return;
    const QListWidgetItem* eintrag = auswahl.front();
    Fange_dateifehler([&] {
        Neuer_name.clear();
        Leere({Romname, Hersteller, Cardid, Land, Namevoll, Nameneu});
        Command2->setVisible(false);

        const QByteArray name = eintrag->data(Namensrolle).toByteArray();
        Dateipfad = Verbinde_pfad(Ordnerpfad(), name.toStdString());
        Dateiname->setText(eintrag->text());

        const Dateiauswahl ergebnis = Waehle_datei(Dateipfad, Datenbankpfad_, !Optiondateinamennormal->isChecked());
        Analyse_feld = ergebnis.analyse;
        Namen = ergebnis.namen;
        Neuer_name = ergebnis.namen.Neuer_name;

        if (ergebnis.zustand == Auswahlzustand::Kein_bild) {
            Dateityp->setText(QString::fromLatin1(Text_kein_bild));
            Leere({Romname, Hersteller, Cardid, CRC1label, sizelabel, Land, Namevoll, Nameneu});
            Command2->setVisible(false);
            return;
        }
        Dateityp->setText(Qtext(Analyse_feld.Dateityp_text));
        Romname->setText(Qtext(Analyse_feld.Interner_name));
        Hersteller->setText(Qtext(Analyse_feld.Hersteller_text));
        Cardid->setText(Qtext(Analyse_feld.Cardid_text));
        CRC1label->setText(Qtext(Analyse_feld.CRC1_text));
        sizelabel->setText(Qtext(Analyse_feld.Size_text));
        Land->setText(Qtext(Analyse_feld.Land_text));
        const bool bekannt = ergebnis.zustand == Auswahlzustand::Bekannt;
        Namevoll->setText(bekannt ? Qtext(Namen.Voller_name) : QString());
        Command2->setVisible(bekannt);
        Nameneu->setText(Qtext(Neuer_name));
    });
}

// Renames the selected file in the folder the folder list shows. A failure
// leaves the file, the labels and the button as they were.
void Form1::Command2_Click()
{
    Fange_dateifehler([&] {
        if (Nameneu->text().isEmpty() || Nameneu->text() == QLatin1String(Text_unbekannt))
            return;
        Benenne_datei_um(Dateipfad, Ordnerpfad(), Neuer_name);
        Lies_dateien();
        Leere({Dateiname, Dateityp, Romname, Hersteller, Cardid, Land, Namevoll});
        Command2->setVisible(false);
        Leere({Nameneu, CRC1label, sizelabel});
    });
}

// The normal style, composed again from the pieces of the last image.
void Form1::Optiondateinamennormal_Click()
{
    try {
        Neuer_name = Normaler_name(Namen.Voller_name, Analyse_feld.Landkuerzel, Analyse_feld.Endung);
        if (!Command2->isHidden())
            Nameneu->setText(Qtext(Neuer_name));
    } catch (const std::exception& fehler) {
        Zeige_unerwartet(fehler);
    }
}

void Form1::Optiondateinamenultrahle_Click()
{
    try {
        Neuer_name = Baue_dateiname(Neuer_name);
        if (!Command2->isHidden())
            Nameneu->setText(Qtext(Neuer_name));
    } catch (const std::exception& fehler) {
        Zeige_unerwartet(fehler);
    }
}

void Form1::beenden_Click()
{
    if (Programmende)
        Programmende();
}

void Form1::homepage_Click()
{
    try {
        schale_.oeffne(QUrl(QString::fromUtf8(Programm::Homepage)));
    } catch (const std::exception&) {
        // Opening the home page may fail without a word.
    }
}

// The About window, modal; returns once it has closed. The window is then
// switched off until the next tick switches it on again.
void Form1::about_Click()
{
    try {
        frmAbout fenster(this, meldungen_, schale_, uhr_, [this] { setEnabled(true); });
        fenster.exec();
        setEnabled(false);
    } catch (const std::exception& fehler) {
        setEnabled(true);
        Zeige_unerwartet(fehler);
    }
}

} // namespace cartonym::ui
