// The window's Database menu: the check of the name database and new
// records learnt from image files' names or from a ROM catalogue, shown in
// a preview before anything is written. The work is the core's, the same
// calls cartonym-cli's "db" commands make.
#pragma once

#include <string>

class QWidget;

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

} // namespace cartonym::ui
