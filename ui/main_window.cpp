// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/main_window.h"

#include "common/number_text.h"
#include "common/paths.h"
#include "common/program_info.h"
#include "common/windows1252.h"
#include "naming/file_names.h"
#include "operations/batch_run.h"
#include "operations/engine.h"
#include "operations/file_mode.h"
#include "operations/folder_listing.h"
#include "operations/identification.h"
#include "ui/first_start_hint.h"
#include "ui/form_table.h"
#include "ui/message_service.h"
#include "ui/text_conversion.h"
#include "ui/widget_groups.h"
#include "ui/widgets.h"
#include "ui/window_settings.h"

#include <QtCore/QDir>
#include <QtCore/QEvent>
#include <QtCore/QFileSystemWatcher>
#include <QtCore/QSignalBlocker>
#include <QtCore/QStorageInfo>
#include <QtCore/QStringListModel>
#include <QtCore/QTimer>
#include <QtCore/QtMath>
#include <QtGui/QAction>
#include <QtGui/QCloseEvent>
#include <QtGui/QScreen>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QCompleter>
#include <QtWidgets/QGroupBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLayout>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QListWidget>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QProgressBar>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QRadioButton>
#include <QtWidgets/QScrollArea>
#include <QtWidgets/QStatusBar>

#include <algorithm>

namespace cartonym::ui {
namespace {

using K = ControlKind;
using F = FontChoice;
constexpr Qt::Alignment left = Qt::AlignLeft;
constexpr Qt::Alignment right = Qt::AlignRight;
constexpr Qt::Alignment centre = Qt::AlignHCenter;

// The window's controls: name, kind, container, left, top, width, height in
// twips, caption, font, alignment. A few value labels reach further right or
// lower than their classic places, into room no control of file mode uses,
// so that their longest texts fit in DejaVu Sans; Romname, Dateiname,
// Namevoll and Nameneu elide what still does not fit.
constexpr ControlRow form1_controls[] = {
    {"Frame1", K::Frame, "", 120, 0, 2775, 1575, "Mode:", F::Bold},
    {"Dateimodus", K::OptionButton, "Frame1", 240, 240, 2295, 255, "Rename a &single file", F::Dialog},
    {"Batchmodus", K::OptionButton, "Frame1", 240, 480, 1215, 255, "&Batchmode", F::Dialog},
    {"Modusbeschreibung", K::Label, "Frame1", 150, 840, 2475, 675, "", F::Dialog, centre},
    {"Frame2", K::Frame, "", 120, 1680, 2775, 1575, "Filenames:", F::Bold},
    {"Optiondateinamennormal", K::OptionButton, "Frame2", 120, 210, 2415, 255, "&Normal long filenames", F::Dialog},
    {"Optiondateinamenultrahle", K::OptionButton, "Frame2", 120, 480, 2595, 255, "Long filenames &without spaces",
        F::Dialog},
    {"Namenmodus", K::Label, "Frame2", 60, 810, 2655, 735, "", F::Dialog, centre},
    {"Frame3", K::Frame, "", 120, 3360, 2775, 615, "List:", F::Bold},
    {"Checkgamelist", K::CheckBox, "Frame3", 120, 240, 2535, 315, "Create &gamelist (games.htm)", F::Dialog},
    {"Label1", K::Label, "", 3000, 0, 2415, 255, "File to rename:", F::Bold, centre},
    {"Laufwerk", K::ComboBox, "", 3000, 240, 2535, 315, "", F::Dialog},
    {"folder_path", K::TextField, "", 3000, 600, 2535, 315, "", F::Dialog},
    {"Ordner", K::FolderTree, "", 3000, 960, 2535, 2880, "", F::Dialog},
    {"Dateien", K::ListBox, "", 5640, 240, 2775, 3600, "", F::Dialog},
    {"Label3", K::Label, "", 960, 4080, 1215, 255, "Filename:", F::Bold, right},
    {"Dateiname", K::ElidedLabel, "", 2400, 4080, 6015, 255, "", F::Dialog},
    {"Label2", K::Label, "", 840, 4440, 1335, 255, "Filetype:", F::Bold, right},
    {"Dateityp", K::ValueLabel, "", 2400, 4440, 5895, 255, "", F::Dialog},
    {"Label4", K::Label, "", 1080, 4800, 1095, 420, "Internal Romname:", F::Bold, right},
    {"Romname", K::ElidedLabel, "", 2400, 4920, 3735, 255, "", F::Dialog},
    {"Label5", K::Label, "", 120, 5280, 2055, 255, "Manufacturer code:", F::Bold, right},
    {"Hersteller", K::ValueLabel, "", 2400, 5280, 3090, 255, "", F::Dialog},
    {"Label6", K::Label, "", 840, 5640, 1335, 255, "Romtype:", F::Bold, right},
    {"Cardid", K::ValueLabel, "", 2400, 5640, 2775, 255, "", F::Dialog},
    {"Label7", K::Label, "", 1200, 6000, 975, 255, "Country:", F::Bold, right},
    {"Land", K::ValueLabel, "", 2400, 6000, 6015, 255, "", F::Dialog},
    {"Label9", K::Label, "", 120, 6360, 2055, 255, "Full name:", F::Bold, right},
    {"Namevoll", K::ElidedLabel, "", 2400, 6360, 6015, 255, "", F::Dialog},
    {"Label16", K::Label, "", 4920, 4800, 1815, 255, "Checksum (Hex):", F::Bold, right},
    {"CRC1label", K::ValueLabel, "", 6960, 4800, 1335, 255, "", F::Dialog},
    {"Label15", K::Label, "", 5520, 5160, 1215, 255, "ROM Size:", F::Bold, right},
    {"sizelabel", K::Label, "", 6960, 5160, 1455, 450, "", F::Dialog},
    {"Label8", K::Label, "", 120, 6720, 8295, 255, "Suggested new filename:", F::Bold, centre},
    {"Nameneu", K::ElidedLabel, "", 1080, 6960, 6255, 255, "", F::Dialog, centre},
    {"Label12", K::Label, "", 2160, 4680, 2535, 255, "Total files in directory:", F::Bold, right},
    {"Labelinsgesamt", K::ValueLabel, "", 4920, 4680, 615, 255, "", F::Dialog},
    {"Label13", K::Label, "", 3120, 5040, 1575, 255, "SNES ROMs:", F::Bold, right},
    {"Labelanzahlroms", K::ValueLabel, "", 4920, 5040, 615, 255, "", F::Dialog},
    {"Label10", K::Label, "", 240, 5400, 4455, 255, "ROMs that had alredy the correct filename:", F::Bold, right},
    {"Labelschonrichtig", K::ValueLabel, "", 4920, 5400, 615, 255, "", F::Dialog},
    {"Label14", K::Label, "", 1560, 5760, 3135, 255, "Successfully renamed:", F::Bold, right},
    {"Labelumbenannt", K::ValueLabel, "", 4920, 5760, 615, 255, "", F::Dialog},
    {"Label18", K::Label, "", 720, 6120, 3975, 255, "Duplicates (see subdir Duplicates):", F::Bold, right},
    {"Labelduplikate", K::ValueLabel, "", 4920, 6120, 615, 255, "", F::Dialog},
    {"Label11", K::Label, "", 5520, 4080, 2895, 495, "Unknown SNES ROMs (see subdir Unknown_ROMs):", F::Bold, centre},
    {"Listeunbekannt", K::ListBox, "", 5520, 4560, 2895, 2010, "", F::Dialog},
    {"Label17", K::ValueLabel, "", 120, 6840, 8295, 255, "Batchmode Status:", F::Dialog},
    {"ProgressBar", K::ProgressBar, "", 120, 7080, 8295, 135, ""},
    {"Command2", K::Button, "", 3000, 7320, 2295, 375, "&Rename file", F::Bold},
    {"Batchrun", K::Button, "", 3000, 7320, 2295, 375, "S&tart Batchmode", F::Bold},
    {"preview_button", K::Button, "", 5400, 7320, 1215, 375, "&Preview", F::Bold},
    {"cancel_button", K::Button, "", 5400, 7320, 1215, 375, "&Cancel", F::Bold},
};

} // namespace

Form1::Form1(std::string database_path, MessageService& messages, Shell& shell, Clock& clock, QWidget* parent)
    : QMainWindow(parent)
    , database_path_(std::move(database_path))
    , messages_(messages)
    , shell_(shell)
    , clock_(clock)
{
    load_images();
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(
        QStringLiteral("The Cartonym v%1.%2 by %3 - %4")
            .arg(program_info::version_major)
            .arg(program_info::version_minor)
            .arg(QString::fromUtf8(program_info::author), QString::fromUtf8(program_info::homepage_address)));
    setWindowIcon(QIcon(QStringLiteral(":/images/icon.png")));
    // A minimise button and no maximise button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
        | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    // The form in a scroll area that scrolls only where the screen is smaller.
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("form_scroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setFocusPolicy(Qt::NoFocus); // no Tab stop of its own: it shows no focus
    auto* area = new PictureArea(QPixmap(QStringLiteral(":/images/background.png")), scroll);
    area->setObjectName(QStringLiteral("client_area"));
    area->setFixedSize(pixels(8535), pixels(7770));
    scroll->setWidget(area);
    setCentralWidget(scroll);
    build_controls(area, form1_controls);
    bind_controls();
    build_menus();
    connect_controls();
    tier_status = new QLabel(statusBar());
    tier_status->setObjectName(QStringLiteral("tier_status"));
    statusBar()->addWidget(tier_status, 1);
    catalogue_hint = new QLabel(no_catalogue_hint(), statusBar());
    catalogue_hint->setObjectName(QStringLiteral("catalogue_hint"));
    catalogue_hint->setToolTip(
        QStringLiteral("The snes.dat that comes with the program knows only a few demo games; "
                       "a registered ROM catalogue (No-Intro or similar) gives verified names."));
    statusBar()->addPermanentWidget(catalogue_hint);
    statusBar()->setSizeGripEnabled(false);
    open_catalogues();
    fit_to_screen();
    setAcceptDrops(true);

    file_watch_ = new QFileSystemWatcher(this);
    file_list_timer_ = new QTimer(this);
    file_list_timer_->setSingleShot(true);
    file_list_timer_->setInterval(file_list_delay);
    connect(file_watch_, &QFileSystemWatcher::directoryChanged, file_list_timer_, qOverload<>(&QTimer::start));
    connect(file_list_timer_, &QTimer::timeout, this, &Form1::file_watch_Change);
    fill_drives();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(timer_interval);
    connect(Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
    Timer1->start();
}

// The whole window lies on its screen: at full size where it fits, else as
// large as the screen allows, the form scrolling inside.
void Form1::fit_to_screen()
{
    // The bars as the main window's layout sizes them: the menu bar by its
    // height for the form's width, which some styles make taller than its
    // size hint; a pixel short, the form would scroll both ways.
    const int width = pixels(8535);
    const int menu = std::max(menuBar()->heightForWidth(width), menuBar()->sizeHint().height());
    QSize full(width, pixels(7770) + menu + statusBar()->sizeHint().height());
    const QScreen* screen_ = screen();
    if (!screen_) {
        setMaximumSize(full);
        resize(full);
        return;
    }
    const QRect available = screen_->availableGeometry();
    // Room for the frame and the title bar the window manager adds, which it
    // draws in device pixels whatever the scale; as much below as above, since
    // some managers put the title bar above the asked position, some below.
    const qreal ratio = screen_->devicePixelRatio();
    const QMargins frame(qCeil(8 / ratio), qCeil(40 / ratio), qCeil(8 / ratio), qCeil(40 / ratio));
    const QRect room = available.marginsRemoved(frame);
    // Too low for the screen: the form scrolls up and down, and the window
    // is wider by the scroll bar, so that it never scrolls sideways too.
    if (full.height() > room.height())
        full.rwidth() += style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    setMaximumSize(full);
    const QSize fits = full.boundedTo(room.size());
    setMinimumSize(fits.boundedTo(QSize(320, 240)));
    resize(fits);
    move(room.left() + (room.width() - fits.width()) / 2, room.top() + (room.height() - fits.height()) / 2);
}

QWidget* Form1::form() const { return findChild<QWidget*>(QStringLiteral("client_area")); }

void Form1::bind_controls()
{
    const QWidget* form = this->form();
    Dateimodus = control<QRadioButton>(form, "Dateimodus");
    Batchmodus = control<QRadioButton>(form, "Batchmodus");
    Modusbeschreibung = control<QLabel>(form, "Modusbeschreibung");
    Optiondateinamennormal = control<QRadioButton>(form, "Optiondateinamennormal");
    Optiondateinamenultrahle = control<QRadioButton>(form, "Optiondateinamenultrahle");
    Namenmodus = control<QLabel>(form, "Namenmodus");
    Checkgamelist = control<QCheckBox>(form, "Checkgamelist");
    Laufwerk = control<QComboBox>(form, "Laufwerk");
    Ordner = control<FolderTree>(form, "Ordner");
    Dateien = control<QListWidget>(form, "Dateien");
    QLabel** captions[] = {&Label2, &Label3, &Label4, &Label5, &Label6, &Label7, &Label8, &Label9, &Label10, &Label11,
        &Label12, &Label13, &Label14, &Label15, &Label16, &Label17, &Label18};
    int number = 2;
    for (QLabel** caption : captions)
        *caption = control<QLabel>(form, qPrintable(QStringLiteral("Label%1").arg(number++)));
    Dateiname = control<ElidedLabel>(form, "Dateiname");
    Dateityp = control<QLabel>(form, "Dateityp");
    Romname = control<ElidedLabel>(form, "Romname");
    Hersteller = control<QLabel>(form, "Hersteller");
    Cardid = control<QLabel>(form, "Cardid");
    Land = control<QLabel>(form, "Land");
    Namevoll = control<ElidedLabel>(form, "Namevoll");
    CRC1label = control<QLabel>(form, "CRC1label");
    sizelabel = control<QLabel>(form, "sizelabel");
    Nameneu = control<ElidedLabel>(form, "Nameneu");
    Labelinsgesamt = control<QLabel>(form, "Labelinsgesamt");
    Labelanzahlroms = control<QLabel>(form, "Labelanzahlroms");
    Labelschonrichtig = control<QLabel>(form, "Labelschonrichtig");
    Labelumbenannt = control<QLabel>(form, "Labelumbenannt");
    Labelduplikate = control<QLabel>(form, "Labelduplikate");
    Listeunbekannt = control<QListWidget>(form, "Listeunbekannt");
    ProgressBar = control<QProgressBar>(form, "ProgressBar");
    Command2 = control<QPushButton>(form, "Command2");
    Batchrun = control<QPushButton>(form, "Batchrun");
    preview_button = control<QPushButton>(form, "preview_button");
    cancel_button = control<QPushButton>(form, "cancel_button");
    folder_path_field = control<QLineEdit>(form, "folder_path");
    folder_names_ = new QStringListModel(this);
    auto* completer = new QCompleter(folder_names_, this);
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    folder_path_field->setCompleter(completer);
    folder_path_field->setClearButtonEnabled(false);
    style_controls();
}

// What the table does not say: colours, states and the look of a few.
void Form1::style_controls()
{
    const QWidget* form = this->form();
    const QColor grey(192, 192, 192);
    const QColor frame_colour = palette().color(QPalette::Window);
    set_background(control<QGroupBox>(form, "Frame1"), grey);
    set_background(Modusbeschreibung, grey);
    // Switched off during a run, the Mode frame's texts stay readable on its grey.
    for (QWidget* widget : std::initializer_list<QWidget*>{
             control<QGroupBox>(form, "Frame1"), Dateimodus, Batchmodus, Modusbeschreibung}) {
        QPalette palette = widget->palette();
        for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            palette.setColor(QPalette::Disabled, role, QColor(80, 80, 80));
        widget->setPalette(palette);
    }
    set_background(control<QGroupBox>(form, "Frame2"), frame_colour);
    set_background(Namenmodus, frame_colour);
    set_background(control<QGroupBox>(form, "Frame3"), frame_colour);
    set_text_colour(Label8, QColor(0, 0, 192));
    set_background(Nameneu, QColor(224, 224, 224));
    Dateimodus->setChecked(true);
    Optiondateinamennormal->setChecked(true);
    Checkgamelist->setEnabled(false);
    Dateien->setUniformItemSizes(true);
    Listeunbekannt->setUniformItemSizes(true);
    // Enter presses a focused button, as Space does.
    for (QPushButton* button : {Command2, Batchrun, preview_button, cancel_button}) {
        button->setAutoDefault(true);
        button->hide();
    }
    // The option buttons and the check box keep their text close to the box,
    // as the narrow places of the layout need.
    for (QWidget* button : std::initializer_list<QWidget*>{
             Dateimodus, Batchmodus, Optiondateinamennormal, Optiondateinamenultrahle, Checkgamelist})
        button->setStyleSheet(QStringLiteral("spacing: 3px;"));
}

void Form1::connect_controls()
{
    connect(Dateimodus, &QRadioButton::clicked, this, &Form1::Dateimodus_Click);
    connect(Batchmodus, &QRadioButton::clicked, this, &Form1::Batchmodus_Click);
    connect(Optiondateinamennormal, &QRadioButton::clicked, this, &Form1::Optiondateinamennormal_Click);
    connect(Optiondateinamenultrahle, &QRadioButton::clicked, this, &Form1::Optiondateinamenultrahle_Click);
    connect(Laufwerk, &QComboBox::currentIndexChanged, this, &Form1::Laufwerk_Change);
    connect(Ordner, &FolderTree::path_changed, this, &Form1::Ordner_Change);
    connect(Ordner, &FolderTree::open_failed, this, [this](int, const QString& description) {
        messages_.show(this, {"Error !", to_file_system(description), MessageIcon::exclamation});
    });
    connect(Dateien, &QListWidget::itemSelectionChanged, this, &Form1::Dateien_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(Batchrun, &QPushButton::clicked, this, &Form1::Batchrun_Click);
    connect(preview_button, &QPushButton::clicked, this, &Form1::preview_Click);
    connect(cancel_button, &QPushButton::clicked, this, &Form1::cancel_Click);
    // Tab order follows the form: the left column, then the folder, the
    // files and the buttons below.
    QWidget* const order[] = {Dateimodus, Batchmodus, Optiondateinamennormal, Optiondateinamenultrahle, Checkgamelist,
        Laufwerk, folder_path_field, Ordner, Dateien, Command2, Batchrun, preview_button, cancel_button};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);
    connect(folder_path_field, &QLineEdit::returnPressed, this, &Form1::folder_path_Enter);
    connect(folder_path_field, &QLineEdit::textEdited, this, &Form1::folder_path_Edit);
}

void Form1::show_error(const Error& error)
{
    messages_.show(this, {"Error !", short_error_text(error), MessageIcon::exclamation});
}

// The error trap of the file-mode and batch handlers: a failure ends the
// handler with the failure message naming the file in hand, its path
// written as the batch run and unknown.log write it.
void Form1::trap_file_errors(const std::function<void()>& steps)
{
    try {
        steps();
    } catch (const DatabaseFailure& failure) {
        messages_.show(this,
            {"Error !", file_error_text(failure.error, escaped_file_name(database_path_)), MessageIcon::exclamation});
    } catch (const JournalUnavailable& error) {
        show_unexpected(error); // no run to undo, or no journal: not a fault of the file in hand
    } catch (const Error& error) {
        const std::string text = file_error_text(error, escaped_file_name(Dateipfad));
        messages_.show(this, {"Error !", read_only_said(text, parent_folder(Dateipfad)), MessageIcon::exclamation});
    } catch (const std::exception& error) {
        show_unexpected(error);
    }
}

void Form1::show_unexpected(const std::exception& error)
{
    messages_.show(this, {"Error !", escaped_file_name(error.what()), MessageIcon::exclamation});
}

// Closing the window during a run stops the run first (between two files).
void Form1::closeEvent(QCloseEvent* event)
{
    if (running_) {
        cancel_requested_ = true;
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

// While a run goes on, every control but Cancel is off.
void Form1::set_running(bool on)
{
    running_ = on;
    cancel_requested_ = false;
    // The status line and the bar show the run: they stay on.
    for (QWidget* widget : form()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        widget->setEnabled(!on || widget == cancel_button || widget == Label17 || widget == ProgressBar);
    menuBar()->setEnabled(!on);
    preview_button->setVisible(!on);
    cancel_button->setVisible(on);
    if (on) {
        Timer1->stop();
        cancel_button->setFocus();
    } else {
        Timer1->start();
        Dateien->setEnabled(Dateimodus->isChecked());
        Checkgamelist->setEnabled(Batchmodus->isChecked());
    }
    watch_files(!on);
}

// The folder list follows the file system while the window is away; coming
// back shows what changed meanwhile even where no watch reaches.
void Form1::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        Ordner->refresh();
}

// The refresh: fits the window to the chosen mode and file-name style. A
// change to a control it governs is undone here at the next tick.
void Form1::Timer1_Timer()
{
    setEnabled(true);
    // The information labels of file mode.
    const std::initializer_list<QWidget*> file_mode_labels = {Label2, Label3, Label4, Label5, Label6, Label7, Label8,
        Label9, Label16, Label15, Nameneu, Romname, Hersteller, Cardid, Land, Namevoll, Dateiname, Dateityp, CRC1label,
        sizelabel};
    if (Dateimodus->isChecked()) {
        Modusbeschreibung->setText(QStringLiteral("Use this mode to rename single ROM-Images"));
        Dateien->setEnabled(true);
        Batchrun->setVisible(false);
        preview_button->setVisible(false);
        cancel_button->setVisible(false);
        set_visible(file_mode_labels, true);
        set_visible({Labelschonrichtig, Label10, Listeunbekannt, Label11, Label12, Labelinsgesamt, Label13,
                        Labelanzahlroms, Label14, Labelumbenannt, Label18, Labelduplikate, ProgressBar, Label17},
            false);
    } else if (Batchmodus->isChecked()) {
        Modusbeschreibung->setText(QStringLiteral("Use this mode to rename all ROM-Images in a directory"));
        Dateien->setEnabled(false);
        Batchrun->setVisible(true);
        preview_button->setVisible(!running_);
        cancel_button->setVisible(running_);
        set_visible(file_mode_labels, false);
        set_visible({ProgressBar, Label17}, true);
    }
    catalogue_hint->setVisible(Dateimodus->isChecked() && catalogue_state_.empty());
    if (Optiondateinamennormal->isChecked())
        Namenmodus->setText(QStringLiteral("Normal long filenames that also can contain spaces will be used"));
    else if (Optiondateinamenultrahle->isChecked())
        Namenmodus->setText(
            QStringLiteral("Long filenames will be used, spaces will be replaced by underscores\n( _ )"));
}

// The choices of the window for a run of the folder the folder list shows.
BatchOptions Form1::batch_options(bool dry_run) const
{
    BatchOptions options;
    options.folder = folder_path();
    options.database_path = database_path_;
    options.without_spaces = !Optiondateinamennormal->isChecked();
    options.game_list = Checkgamelist->isChecked();
    options.dry_run = dry_run;
    options.archives = look_inside_archives->isChecked();
    options.companions = move_companions->isChecked();
    options.catalogues = catalogues_ ? &catalogues_->tier() : nullptr;
    return options;
}

// The previous run's panel emptied and painted empty at once.
void Form1::empty_batch_panel()
{
    Neuer_name.clear();
    rename_ready_ = false;
    clear_labels({Romname, Hersteller, Cardid, Land, Namevoll, Nameneu, Labelschonrichtig, Labelinsgesamt,
        Labelanzahlroms, Labelumbenannt, Labelduplikate, tier_status});
    Listeunbekannt->clear();
    Label17->setText(QStringLiteral("Batchmode Status:"));
    ProgressBar->setValue(0);
    Label17->setVisible(true);
    repaint_now({Labelschonrichtig, Labelinsgesamt, Labelanzahlroms, Labelumbenannt, Labelduplikate, Listeunbekannt,
        Label17, ProgressBar});
}

// The panel as before any run: no counts, no unknown names, no status.
void Form1::reset_batch_panel()
{
    clear_labels({Labelschonrichtig, Labelinsgesamt, Labelanzahlroms, Labelumbenannt, Labelduplikate});
    Listeunbekannt->clear();
    Label17->setText(QStringLiteral("Batchmode Status:"));
    ProgressBar->setValue(0);
}

// The panel after a run: the counts of a completed run, or of an
// interrupted one with the folder's total and the files done in its
// status; then the files left in the folder.
void Form1::show_run_end(const BatchResult& result)
{
    const bool interrupted = result.outcome == BatchOutcome::interrupted;
    if (!interrupted && result.outcome != BatchOutcome::completed)
        return;
    show_counts(result.counts);
    if (interrupted) {
        Labelinsgesamt->setText(from_cp1252(decimal_text(result.files_in_folder)));
        Label17->setText(QStringLiteral("Batchmode interrupted ! %1 of %2 files done.")
                             .arg(result.counts.total)
                             .arg(result.files_in_folder));
    }
    show_verified_count(result.counts);
    read_files();
}

// The selection of Dateipfad. A failure of the database (the image read
// well) names the database, not the image.
Identification Form1::select_with_database_named()
{
    try {
        return identify_file(Dateipfad, database_path_, !Optiondateinamennormal->isChecked(), catalogues_.get(),
            look_inside_archives->isChecked());
    } catch (const Error& error) {
        if (check_database_at_startup(database_path_).state != StartupState::ready)
            throw DatabaseFailure{error};
        throw;
    }
}

void Form1::show_counts(const BatchCounts& counts)
{
    Labelschonrichtig->setText(from_cp1252(decimal_text(counts.already_correct)));
    Labelinsgesamt->setText(from_cp1252(decimal_text(counts.total)));
    Labelanzahlroms->setText(from_cp1252(decimal_text(counts.roms())));
    Labelumbenannt->setText(from_cp1252(decimal_text(counts.renamed)));
    Labelduplikate->setText(from_cp1252(decimal_text(counts.duplicates)));
}

// The labels of the selection in its state; the rename button only for a
// known image.
void Form1::show_selection(SelectionState state)
{
    if (state == SelectionState::not_an_image) {
        Dateityp->setText(QString::fromLatin1(no_image_text));
        clear_labels({Romname, Hersteller, Cardid, CRC1label, sizelabel, Land, Namevoll, Nameneu});
        Command2->setVisible(false);
        return;
    }
    Dateityp->setText(from_cp1252(analysis_.Dateityp_text));
    Romname->setText(from_cp1252(analysis_.Interner_name));
    Hersteller->setText(from_cp1252(analysis_.Hersteller_text));
    Cardid->setText(from_cp1252(analysis_.Cardid_text));
    CRC1label->setText(from_cp1252(analysis_.CRC1_text));
    sizelabel->setText(from_cp1252(analysis_.Size_text));
    Land->setText(from_cp1252(analysis_.Land_text));
    const bool known = state == SelectionState::known;
    Namevoll->setText(known ? from_cp1252(names_.Voller_name) : QString());
    Command2->setVisible(known);
    Nameneu->setText(from_cp1252(Neuer_name));
    rename_ready_ = known && !Neuer_name.empty();
}

} // namespace cartonym::ui
