// SPDX-License-Identifier: GPL-3.0-or-later
// The program's start: the database check before the main window appears.
#pragma once

#include <memory>
#include <string>

namespace cartonym::ui {

class Clock;
class Form1;
class MessageService;
class Shell;

// Checks that the database can be opened. Missing: shows the missing-file
// message and returns nullptr, and the program ends without a window. Any
// other failure: shows the "Error Nr." message and goes on. Otherwise
// returns the main window, not yet shown.
std::unique_ptr<Form1> start_main_window(
    const std::string& database_path, MessageService& messages, Shell& shell, Clock& clock);

} // namespace cartonym::ui
