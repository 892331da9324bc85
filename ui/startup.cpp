// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/startup.h"

#include "common/windows1252.h"
#include "naming/name_database.h"
#include "operations/engine.h"
#include "ui/main_window.h"
#include "ui/message_service.h"

namespace cartonym::ui {

std::unique_ptr<Form1> start_main_window(
    const std::string& database_path, MessageService& messages, Shell& shell, Clock& clock)
{
    const StartupCheckResult check = check_database_at_startup(database_path);
    switch (check.state) {
    case StartupState::ready: break;
    case StartupState::database_missing:
        messages.show(nullptr,
            {"Error !", check.message + "\n\n" + looked_for_line(escaped_file_name(database_path)),
                MessageIcon::exclamation});
        return nullptr;
    case StartupState::database_faulty:
        messages.show(nullptr, {"Error !", check.message, MessageIcon::exclamation});
        break;
    }
    return std::make_unique<Form1>(database_path, messages, shell, clock);
}

} // namespace cartonym::ui
