// The window's catalogues: the registered ones listed, added and removed
// (Database > Catalogues...), and the report of the folder shown held
// against them (Database > Report...). The work is the core's, the calls
// cartonym-cli's "catalogue" and "report" commands make.
#pragma once

#include <functional>
#include <string>

class QString;
class QWidget;

namespace cartonym {
class CatalogueSession;
struct Identification;
} // namespace cartonym

namespace cartonym::ui {

class MessageService;
class Shell;

// Shows the registered catalogues with their names, versions and rom
// counts; "Add..." asks for a catalogue file and registers it, "Remove"
// takes the chosen one away. changed runs after each change of the list.
void show_catalogues(QWidget* parent, MessageService& messages, Shell& shell, const std::function<void()>& changed);

// Holds the folder's files against the catalogues in use and writes the
// report to a new file the user names: CSV for a name ending in ".csv",
// else an HTML page. Without catalogues it says how to register one.
void save_catalogue_report(QWidget* parent, MessageService& messages, Shell& shell, const CatalogueSession* catalogues,
    const std::string& folder, const std::string& database_path);

// The status bar's text for a selection: which tier named the file, ""
// for one that none named.
QString tier_text(const Identification& found);

} // namespace cartonym::ui
