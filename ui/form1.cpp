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
Steuerelement* set(Steuerelement* item, const char* name, int left, int oben, int breite, int hoehe)
{
    item->setObjectName(QLatin1String(name));
    item->setGeometry(Pixel(left), Pixel(oben), Pixel(breite), Pixel(hoehe));
    return item;
}

QLabel* Beschriftung(QWidget* eltern, const char* name, const char* text, Qt::Alignment ausrichtung,
                     int left, int oben, int breite, int hoehe)
{
    auto* label = set(new QLabel(QString::fromLatin1(text), eltern), name, left, oben, breite, hoehe);
    label->setFont(Fette_schrift());
    label->setAlignment(ausrichtung | Qt::AlignTop);
    label->setWordWrap(true);
    return label;
}

QLabel* Wertlabel(QWidget* eltern, const char* name, int left, int oben, int breite, int hoehe)
{
    auto* label = set(new QLabel(eltern), name, left, oben, breite, hoehe);
    label->setFont(Dialogschrift());
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setTextFormat(Qt::PlainText);
    return label;
}

void Faerbe_hintergrund(QWidget* item, const QColor& farbe)
{
    QPalette palette = item->palette();
    palette.setColor(QPalette::Window, farbe);
    item->setPalette(palette);
    item->setAutoFillBackground(true);
}

void Faerbe_text(QWidget* item, const QColor& farbe)
{
    QPalette palette = item->palette();
    palette.setColor(QPalette::WindowText, farbe);
    item->setPalette(palette);
}

void Zeige(std::initializer_list<QWidget*> items, bool sichtbar)
{
    for (QWidget* item : items)
        item->setVisible(sichtbar);
}

void Leere(std::initializer_list<QLabel*> labels)
{
    for (QLabel* label : labels)
        label->clear();
}

} // namespace

Form1::Form1(std::string database_path, Meldungsdienst& messages, Schale& schale, Uhr& clock_, QWidget* eltern)
    : QMainWindow(eltern)
    , Programmende([] { QCoreApplication::exit(0); })
    , Datenbankpfad_(std::move(database_path))
    , meldungen_(messages)
    , schale_(schale)
    , uhr_(clock_)
{
    Lade_bilder();
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("The Cartonym v%1.%2 by %3 - %4")
                       .arg(program_info::version_major)
                       .arg(program_info::version_minor)
                       .arg(QString::fromUtf8(program_info::author), QString::fromUtf8(program_info::homepage_address)));
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
    Frame1 = set(new QGroupBox(QStringLiteral("Mode:"), flaeche), "Frame1", 120, 0, 2775, 1575);
    Frame1->setFont(Fette_schrift());
    Faerbe_hintergrund(Frame1, grau);
    Dateimodus = set(new QRadioButton(QStringLiteral("Rename a single file"), Frame1), "Dateimodus", 240, 240, 2295, 255);
    Dateimodus->setFont(Dialogschrift());
    Dateimodus->setChecked(true);
    Batchmodus = set(new QRadioButton(QStringLiteral("Batchmode"), Frame1), "Batchmodus", 240, 480, 1215, 255);
    Batchmodus->setFont(Dialogschrift());
    Modusbeschreibung = set(new QLabel(Frame1), "Modusbeschreibung", 150, 840, 2475, 675);
    Modusbeschreibung->setFont(Dialogschrift());
    Modusbeschreibung->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Modusbeschreibung->setWordWrap(true);
    Faerbe_hintergrund(Modusbeschreibung, grau);

    // File-name style.
    Frame2 = set(new QGroupBox(QStringLiteral("Filenames:"), flaeche), "Frame2", 120, 1680, 2775, 1575);
    Frame2->setFont(Fette_schrift());
    Faerbe_hintergrund(Frame2, rahmenfarbe);
    Optiondateinamennormal = set(new QRadioButton(QStringLiteral("Normal long filenames"), Frame2),
                                   "Optiondateinamennormal", 120, 240, 2415, 195);
    Optiondateinamennormal->setFont(Dialogschrift());
    Optiondateinamennormal->setChecked(true);
    Optiondateinamenultrahle = set(new QRadioButton(QStringLiteral("Long filenames without spaces"), Frame2),
                                     "Optiondateinamenultrahle", 120, 480, 2535, 255);
    Optiondateinamenultrahle->setFont(Dialogschrift());
    Namenmodus = set(new QLabel(Frame2), "Namenmodus", 120, 840, 2535, 615);
    Namenmodus->setFont(Dialogschrift());
    Namenmodus->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Namenmodus->setWordWrap(true);
    Faerbe_hintergrund(Namenmodus, rahmenfarbe);

    // Game list.
    Frame3 = set(new QGroupBox(QStringLiteral("List:"), flaeche), "Frame3", 120, 3360, 2775, 615);
    Frame3->setFont(Fette_schrift());
    Faerbe_hintergrund(Frame3, rahmenfarbe);
    Checkgamelist = set(new QCheckBox(QStringLiteral("Create gamelist (games.htm)"), Frame3), "Checkgamelist",
                          120, 240, 2535, 315);
    Checkgamelist->setFont(Dialogschrift());
    Checkgamelist->setEnabled(false);

    // Browser.
    Label1 = Beschriftung(flaeche, "Label1", "File to rename:", Qt::AlignHCenter, 3000, 0, 2415, 255);
    Laufwerk = set(new QComboBox(flaeche), "Laufwerk", 3000, 240, 2535, 315);
    Laufwerk->setFont(Dialogschrift());
    Ordner = set(new Ordnerliste(flaeche), "Ordner", 3000, 600, 2535, 3240);
    Ordner->setFont(Dialogschrift());
    Dateien = set(new QListWidget(flaeche), "Dateien", 5640, 240, 2775, 3600);
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
    Listeunbekannt = set(new QListWidget(flaeche), "Listeunbekannt", 5520, 4560, 2895, 2010);
    Listeunbekannt->setFont(Dialogschrift());
    Label17 = Wertlabel(flaeche, "Label17", 120, 6840, 5535, 255);
    Label17->setText(QStringLiteral("Batchmode Status:"));
    ProgressBar = set(new QProgressBar(flaeche), "ProgressBar", 120, 7080, 8295, 135);
    ProgressBar->setRange(0, 100);
    ProgressBar->setValue(0);
    ProgressBar->setTextVisible(false);

    // The two buttons share one spot; at most one of them is visible.
    Command2 = set(new QPushButton(QStringLiteral("Rename file"), flaeche), "Command2", 3000, 7320, 2295, 375);
    Command2->setFont(Fette_schrift());
    Command2->hide();
    Batchrun = set(new QPushButton(QStringLiteral("Start Batchmode"), flaeche), "Batchrun", 3000, 7320, 2295, 375);
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
    connect(Ordner, &Ordnerliste::oeffnen_fehlgeschlagen, this, [this](int, const QString& description) {
        meldungen_.zeige(this, {"Error !", Systempfad(description), MessageIcon::Exclamation});
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
    } catch (const Error&) {
        try {
            Ordner->setze_pfad(heim);
        } catch (const Error& error) {
            Zeige_fehler(error);
        }
    }
}

std::string Form1::Ordnerpfad() const
{
    return Systempfad(Ordner->path());
}

// Reads the folder's files into Dateien, sorted by name. Selecting nothing,
// so that no file is analysed until the user picks one.
void Form1::Lies_dateien()
{
    const QSignalBlocker mutex_(Dateien);
    Dateien->clear();
    const std::vector<std::string> names = list_files(Ordnerpfad());
    for (const std::string& name : names) {
        auto* entry = new QListWidgetItem(Qpfad(name), Dateien);
        entry->setData(Namensrolle, QByteArray(name.data(), static_cast<qsizetype>(name.size())));
    }
}

void Form1::Zeige_fehler(const Error& error)
{
    meldungen_.zeige(this, {"Error !", short_error_text(error), MessageIcon::Exclamation});
}

// The error trap of the file-mode and batch handlers: a failure ends the
// handler with the failure message naming the file in hand.
void Form1::Fange_dateifehler(const std::function<void()>& steps)
{
    try {
        steps();
    } catch (const Error& error) {
        meldungen_.zeige(this, {"Error !", file_error_text(error, Cp1252_pfad(Dateipfad)),
                                MessageIcon::Exclamation});
    } catch (const std::exception& error) {
        Zeige_unerwartet(error);
    }
}

void Form1::Zeige_unerwartet(const std::exception& error)
{
    meldungen_.zeige(this, {"Error !", Cp1252_pfad(error.what()), MessageIcon::Exclamation});
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
    } catch (const Error& error) {
        Zeige_fehler(error);
    } catch (const std::exception& error) {
        Zeige_unerwartet(error);
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

        BatchOptions options;
        options.folder = Ordnerpfad();
        options.database_path = Datenbankpfad_;
        options.without_spaces = !Optiondateinamennormal->isChecked();
        options.game_list = Checkgamelist->isChecked();

        BatchObserver observer;
        observer.status = [this](const std::string& text) {
            Label17->setText(Qtext(text));
            Label17->repaint();
        };
        observer.progress = [this](float value) {
            ProgressBar->setValue(static_cast<int>(value));
            ProgressBar->repaint();
        };
        observer.unknown = [this](const std::string& file) { Listeunbekannt->addItem(Qpfad(file)); };
        observer.unknown_cleared = [this] { Listeunbekannt->clear(); };
        observer.message = [this](const Message& message) { meldungen_.zeige(this, message); };

        const BatchResult result = cartonym::Batchrun(options, observer);
        // The folder list shows the output folders the run created or removed.
        try {
            const QSignalBlocker still(Ordner);
            Ordner->setze_pfad(Ordner->path());
        } catch (const Error&) {
            // The folder itself vanished; the next choice in the list tells.
        }
        if (result.outcome != BatchOutcome::Completed)
            return;

        const BatchCounts& counts = result.counts;
        Labelschonrichtig->setText(Qtext(decimal_text(counts.already_correct)));
        Labelinsgesamt->setText(Qtext(decimal_text(counts.total)));
        Labelanzahlroms->setText(Qtext(decimal_text(counts.roms())));
        Labelumbenannt->setText(Qtext(decimal_text(counts.renamed)));
        Labelduplikate->setText(Qtext(decimal_text(counts.duplicates)));
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
        } catch (const Error& error) {
            const Meldungsantwort answer = meldungen_.zeige(
                this, {"Error !", error.description(), MessageIcon::None}, Meldungsknoepfe::Wiederholen_abbrechen);
            if (answer != Meldungsantwort::Wiederholen)
                return;
        } catch (const std::exception& error) {
            Zeige_unerwartet(error);
            return;
        }
    }
}

void Form1::Ordner_Change()
{
    try {
        Lies_dateien();
    } catch (const Error& error) {
        Dateien->clear();
        Zeige_fehler(error);
    } catch (const std::exception& error) {
        Zeige_unerwartet(error);
    }
}

// A file chosen in the list: analysed, looked up, shown in the chosen style.
void Form1::Dateien_Click()
{
    const QList<QListWidgetItem*> selection = Dateien->selectedItems();
    if (selection.isEmpty())
        return;
    const QListWidgetItem* entry = selection.front();
    Fange_dateifehler([&] {
        Neuer_name.clear();
        Leere({Romname, Hersteller, Cardid, Land, Namevoll, Nameneu});
        Command2->setVisible(false);

        const QByteArray name = entry->data(Namensrolle).toByteArray();
        Dateipfad = join_path(Ordnerpfad(), name.toStdString());
        Dateiname->setText(entry->text());

        const FileSelection result = select_file(Dateipfad, Datenbankpfad_, !Optiondateinamennormal->isChecked());
        Analyse_feld = result.analysis;
        Namen = result.names;
        Neuer_name = result.names.Neuer_name;

        if (result.state == SelectionState::NotAnImage) {
            Dateityp->setText(QString::fromLatin1(no_image_text));
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
        const bool known = result.state == SelectionState::Known;
        Namevoll->setText(known ? Qtext(Namen.Voller_name) : QString());
        Command2->setVisible(known);
        Nameneu->setText(Qtext(Neuer_name));
    });
}

// Renames the selected file in the folder the folder list shows. A failure
// leaves the file, the labels and the button as they were.
void Form1::Command2_Click()
{
    Fange_dateifehler([&] {
        if (Nameneu->text().isEmpty() || Nameneu->text() == QLatin1String(unknown_text))
            return;
        rename_file_in_folder(Dateipfad, Ordnerpfad(), Neuer_name);
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
        Neuer_name = normal_name(Namen.Voller_name, Analyse_feld.Landkuerzel, Analyse_feld.Endung);
        if (!Command2->isHidden())
            Nameneu->setText(Qtext(Neuer_name));
    } catch (const std::exception& error) {
        Zeige_unerwartet(error);
    }
}

void Form1::Optiondateinamenultrahle_Click()
{
    try {
        Neuer_name = Baue_dateiname(Neuer_name);
        if (!Command2->isHidden())
            Nameneu->setText(Qtext(Neuer_name));
    } catch (const std::exception& error) {
        Zeige_unerwartet(error);
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
        schale_.oeffne(QUrl(QString::fromUtf8(program_info::homepage_address)));
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
    } catch (const std::exception& error) {
        setEnabled(true);
        Zeige_unerwartet(error);
    }
}

} // namespace cartonym::ui
