// SPDX-License-Identifier: GPL-3.0-or-later
// The window's Database menu: the check of the name database and new
// records learnt from image files' names or from a ROM catalogue, shown in
// a preview before anything is written. The work is the core's, the same
// calls cartonym-cli's "db" commands make.
#pragma once

#include <functional>
#include <string>

class QWidget;

namespace cartonym {
class CatalogueSession;
} // namespace cartonym

namespace cartonym::ui {

class MessageService;
class Shell;

// Shows the findings of the database at database_path in a dialog table.
void show_database_check(QWidget* parent, MessageService& messages, const std::string& database_path);

// Asks for a folder of images (and first for a catalogue when
// from_catalogue), proposes records for its files with a cancellable
// progress dialog and shows them in a preview whose "Add to database"
// appends them. Writing into the database beside the program creates the
// user's own database first; database_path then names it.
void learn_database_names(
    QWidget* parent, MessageService& messages, Shell& shell, std::string& database_path, bool from_catalogue);

// The registered catalogues (catalogue_window.cpp), as cartonym-cli's
// "catalogue" commands see them, with their names, versions and rom counts;
// "Add..." asks for a catalogue file and registers it, "Remove" takes the
// chosen one away. changed runs after each change of the list.
void show_catalogues(QWidget* parent, MessageService& messages, Shell& shell, const std::function<void()>& changed);

// Holds the folder's files against the catalogues in use and writes the
// report to a new file the user names: CSV for a name ending in ".csv",
// else an HTML page. Without catalogues it says how to register one.
void save_catalogue_report(QWidget* parent, MessageService& messages, Shell& shell, const CatalogueSession* catalogues,
    const std::string& folder, const std::string& database_path, bool archives);

} // namespace cartonym::ui
