// Form1: the main window. Drive, folder and file lists, the two modes, the
// file-name style, the image information of file mode, the batch counters,
// the menus and the timer that keeps the window in step with the mode.
#pragma once

#include "analysis/rom_analysis.h"
#include "common/error.h"
#include "naming/name_database.h"

#include <QtWidgets/QMainWindow>

#include <functional>
#include <string>

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QMenu;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTimer;

namespace cartonym::ui {

class Meldungsdienst;
class Ordnerliste;
class Schale;
class Uhr;

class Form1 : public QMainWindow {
    Q_OBJECT
public:
    Form1(std::string database_path, Meldungsdienst& messages, Schale& schale, Uhr& clock_,
          QWidget* eltern = nullptr);

    // Event handlers, named after their control and event. Each catches every
    // failure itself; none lets an exception reach the event loop.
    void Timer1_Timer();
    void Dateimodus_Click();
    void Batchmodus_Click();
    void Batchrun_Click();
    void Laufwerk_Change();
    void Ordner_Change();
    void Dateien_Click();
    void Command2_Click();
    void Optiondateinamennormal_Click();
    void Optiondateinamenultrahle_Click();
    void beenden_Click();
    void homepage_Click();
    void about_Click();

    // What Exit does; the program ends. Tests put their own in its place.
    std::function<void()> Programmende;

    // Fields of the window: the image in hand and its names.
    std::string Dateipfad;
    std::string Neuer_name;
    RomAnalysis Analyse_feld;
    LookupResult Namen;

    // The controls, named as in the window's layout.
    QGroupBox* Frame1 = nullptr;
    QRadioButton* Dateimodus = nullptr;
    QRadioButton* Batchmodus = nullptr;
    QLabel* Modusbeschreibung = nullptr;
    QGroupBox* Frame2 = nullptr;
    QRadioButton* Optiondateinamennormal = nullptr;
    QRadioButton* Optiondateinamenultrahle = nullptr;
    QLabel* Namenmodus = nullptr;
    QGroupBox* Frame3 = nullptr;
    QCheckBox* Checkgamelist = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* Laufwerk = nullptr;
    Ordnerliste* Ordner = nullptr;
    QListWidget* Dateien = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Dateiname = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Dateityp = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Romname = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Hersteller = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Cardid = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Land = nullptr;
    QLabel* Label9 = nullptr;
    QLabel* Namevoll = nullptr;
    QLabel* Label16 = nullptr;
    QLabel* CRC1label = nullptr;
    QLabel* Label15 = nullptr;
    QLabel* sizelabel = nullptr;
    QLabel* Label8 = nullptr;
    QLabel* Nameneu = nullptr;
    QLabel* Label12 = nullptr;
    QLabel* Labelinsgesamt = nullptr;
    QLabel* Label13 = nullptr;
    QLabel* Labelanzahlroms = nullptr;
    QLabel* Label10 = nullptr;
    QLabel* Labelschonrichtig = nullptr;
    QLabel* Label14 = nullptr;
    QLabel* Labelumbenannt = nullptr;
    QLabel* Label18 = nullptr;
    QLabel* Labelduplikate = nullptr;
    QLabel* Label11 = nullptr;
    QListWidget* Listeunbekannt = nullptr;
    QLabel* Label17 = nullptr;
    QProgressBar* ProgressBar = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Batchrun = nullptr;
    QTimer* Timer1 = nullptr;
    QMenu* dateimenu = nullptr;
    QAction* beenden = nullptr;
    QMenu* hilfemenu = nullptr;
    QAction* homepage = nullptr;
    QAction* about = nullptr;

    // The window's timer period in milliseconds.
    static constexpr int Timerintervall = 50;

private:
    void Baue_fenster();
    void Baue_menue();
    void Fuelle_laufwerke();
    void Lies_dateien();
    std::string Ordnerpfad() const;
    void Zeige_fehler(const Error& error);
    void Fange_dateifehler(const std::function<void()>& steps);
    void Zeige_unerwartet(const std::exception& error);

    std::string Datenbankpfad_;
    Meldungsdienst& meldungen_;
    Schale& schale_;
    Uhr& uhr_;
};

} // namespace cartonym::ui
