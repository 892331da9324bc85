// SPDX-License-Identifier: GPL-3.0-or-later
// Form1: the main window. Drive, folder and file lists, the two modes, the
// file-name style, the image information of file mode, the batch counters,
// the menus and the timer that keeps the window in step with the mode.
#pragma once

#include "analysis/header_detection.h"
#include "common/error.h"
#include "naming/name_database.h"
#include "operations/batch_run.h"
#include "operations/file_mode.h"

#include <QtWidgets/QMainWindow>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QAction;
class QCheckBox;
class QCloseEvent;
class QDragEnterEvent;
class QDropEvent;
class QMimeData;
class QComboBox;
class QFileSystemWatcher;
class QLineEdit;
class QStringListModel;
class QGroupBox;
class QLabel;
class QListWidget;
class QMenu;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTimer;

namespace cartonym {
class CatalogueSession;
struct Identification;
} // namespace cartonym

namespace cartonym::ui {

class Clock;
class ElidedLabel;
class FolderTree;
class MessageService;
class Shell;

class Form1 : public QMainWindow {
    Q_OBJECT
public:
    // database_path: the name database in use (see naming/database_location.h).
    Form1(std::string database_path, MessageService& messages, Shell& shell, Clock& clock, QWidget* parent = nullptr);
    ~Form1() override;

    // Event handlers, named after their control and event. Each catches every
    // failure itself; none lets an exception reach the event loop.
    void Timer1_Timer();
    void Dateimodus_Click();
    void Batchmodus_Click();
    void Batchrun_Click();
    void preview_Click();
    void show_companions();
    void undo_batch_run_Click();
    void cancel_Click();
    void folder_path_Enter();
    void folder_path_Edit(const QString& text);
    void file_watch_Change();
    void Laufwerk_Change();
    void Ordner_Change();
    void Dateien_Click();
    void Command2_Click();
    void Optiondateinamennormal_Click();
    void Optiondateinamenultrahle_Click();
    void beenden_Click();
    void homepage_Click();
    // File > Open folder, Open game list: the folder shown and its
    // Renamed_SNES_ROMs/games.htm, opened by the desktop.
    void open_folder_Click();
    void export_a_set_Click();
    void open_game_list_Click();
    void about_Click();
    // The Database menu.
    void check_database_Click();
    void learn_names_Click();
    void import_catalogue_Click();
    void catalogue_list_Click();
    void catalogue_report_Click();

    // Fields of the window: the image in hand and its new name.
    std::string Dateipfad;
    std::string Neuer_name;

    const std::string& database_path() const { return database_path_; }

    // The window's timer period in milliseconds.
    static constexpr int timer_interval = 50;
    // How long the file list waits after a change on disk before it reads
    // the folder again, in milliseconds.
    static constexpr int file_list_delay = 250;
    // How often a run handles the window's events (Cancel), in milliseconds.
    static constexpr int event_interval_ms = 40;

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // A folder dropped on the window (a list of addresses) opens it.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void bind_controls();
    void style_controls();
    void build_menus();
    void connect_controls();
    void fill_drives();
    void follow_folder_with_drive();
    void read_files(bool keep_selection = false);
    void watch_files(bool on);
    void fit_to_screen();
    QString dropped_folder(const QMimeData* mime) const;
    QWidget* form() const;
    void set_running(bool on);
    void reset_batch_panel();
    void show_run_end(const BatchResult& result);
    Identification select_with_database_named();
    // The selected file (selected_folder_, selected_name_) analysed, looked
    // up and shown; after a rename, shown under its new name.
    void look_at_selected();
    void show_renamed(const QString& old_name, bool renamed);
    // The catalogues and the name database as they are now (see
    // main_window_catalogues.cpp).
    void follow_registry();
    // A failure of the name database during a selection.
    struct DatabaseFailure {
        Error error;
    };
    std::string folder_path() const;
    void show_error(const Error& error);
    void trap_file_errors(const std::function<void()>& steps);
    void show_unexpected(const std::exception& error);
    void learn(bool from_catalogue);
    BatchOptions batch_options(bool dry_run) const;
    void empty_batch_panel();
    void show_counts(const BatchCounts& counts);
    void show_selection(SelectionState state);
    void show_name_in_style(const std::function<std::string()>& compose);
    // The catalogues (main_window_catalogues.cpp): the registered ones read
    // again, the tier that named the selection, a verified file's name in
    // the chosen style, the run's count of verified files.
    void open_catalogues();
    void show_tier(const Identification& found);
    bool restyle_verified();
    void show_verified_count(const BatchCounts& counts);

    std::string database_path_;
    MessageService& messages_;
    Shell& shell_;
    Clock& clock_;
    RomAnalysis analysis_;
    LookupResult names_;
    // The registered catalogues in use, nullptr for none; a file they
    // verified: its catalogue's rom name, whether it matched without its
    // first 512 bytes, and its new name (UTF-8; "" for a file they did not).
    std::unique_ptr<CatalogueSession> catalogues_;
    // The registry as catalogues_ was read from it: each file and its identity.
    std::vector<std::pair<std::string, FileIdentity>> catalogue_state_;
    // The selected file as it was identified, for the rename to check that
    // it is still that file; nullptr for none.
    std::unique_ptr<Identification> selected_;
    std::string verified_rom_name_, verified_name_;
    bool verified_without_first_512_ = false;
    // A known image is selected and its new name is shown: the rename may go.
    bool rename_ready_ = false;
    // The folder and the file-system name of the selected file.
    std::string selected_folder_, selected_name_;
    std::vector<std::string> selected_companions_; // renamed with the selected image
    QString shown_folder_;                         // the folder the file list and the panel speak of
    bool running_ = false;                         // a batch run goes on
    bool cancel_requested_ = false;                // Cancel was pressed during the run
    QFileSystemWatcher* file_watch_ = nullptr;
    QTimer* file_list_timer_ = nullptr;
    QStringListModel* folder_names_ = nullptr; // the path field's completions

    // The controls, named as in the window's layout; built from the table in
    // main_window.cpp.
    QRadioButton* Dateimodus = nullptr;
    QRadioButton* Batchmodus = nullptr;
    QLabel* Modusbeschreibung = nullptr;
    QRadioButton* Optiondateinamennormal = nullptr;
    QRadioButton* Optiondateinamenultrahle = nullptr;
    QLabel* Namenmodus = nullptr;
    QCheckBox* Checkgamelist = nullptr;
    QComboBox* Laufwerk = nullptr;
    FolderTree* Ordner = nullptr;
    QListWidget* Dateien = nullptr;
    QLabel *Label2 = nullptr, *Label3 = nullptr, *Label4 = nullptr, *Label5 = nullptr, *Label6 = nullptr,
           *Label7 = nullptr, *Label8 = nullptr, *Label9 = nullptr, *Label10 = nullptr, *Label11 = nullptr,
           *Label12 = nullptr, *Label13 = nullptr, *Label14 = nullptr, *Label15 = nullptr, *Label16 = nullptr,
           *Label17 = nullptr, *Label18 = nullptr;
    ElidedLabel* Dateiname = nullptr;
    QLabel* Dateityp = nullptr;
    ElidedLabel* Romname = nullptr;
    QLabel* Hersteller = nullptr;
    QLabel* Cardid = nullptr;
    QLabel* Land = nullptr;
    ElidedLabel* Namevoll = nullptr;
    QLabel* CRC1label = nullptr;
    QLabel* sizelabel = nullptr;
    ElidedLabel* Nameneu = nullptr;
    QLabel* Labelinsgesamt = nullptr;
    QLabel* Labelanzahlroms = nullptr;
    QLabel* Labelschonrichtig = nullptr;
    QLabel* Labelumbenannt = nullptr;
    QLabel* Labelduplikate = nullptr;
    QListWidget* Listeunbekannt = nullptr;
    QProgressBar* ProgressBar = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Batchrun = nullptr;
    QPushButton* preview_button = nullptr;
    QPushButton* cancel_button = nullptr;
    QLineEdit* folder_path_field = nullptr;
    QLabel* tier_status = nullptr;
    QLabel* catalogue_hint = nullptr; // in file mode while no catalogue is registered
    QTimer* Timer1 = nullptr;
    QMenu* dateimenu = nullptr;
    QAction* beenden = nullptr;
    QAction* undo_batch_run = nullptr;
    QAction* look_inside_archives = nullptr; // checked: archives are read as their images
    QAction* move_companions = nullptr;      // checked: saves, patches ... move and are renamed with their image
    QAction *open_folder = nullptr, *open_game_list = nullptr, *export_a_set = nullptr;
    QMenu* database_menu = nullptr;
    QAction *check_database = nullptr, *learn_names = nullptr, *import_catalogue = nullptr;
    QAction *catalogue_list = nullptr, *catalogue_report = nullptr;
    QMenu* hilfemenu = nullptr;
    QAction* homepage = nullptr;
    QAction* about = nullptr;
};

} // namespace cartonym::ui
