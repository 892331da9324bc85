// The program's start: the database check before the main window appears.
#pragma once

#include <memory>
#include <string>

namespace cartonym::ui {

class Form1;
class Meldungsdienst;
class Schale;
class Uhr;

// Checks that snes.dat can be opened. Missing: shows the missing-file
// message and returns nullptr, and the program ends without a window. Any
// other failure: shows the "Error Nr." message and goes on. Otherwise
// returns the main window, not yet shown.
std::unique_ptr<Form1> Starte_form1(const std::string& database_path, Meldungsdienst& messages, Schale& schale,
                                    Uhr& clock_);

} // namespace cartonym::ui
