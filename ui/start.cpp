#include "ui/start.h"

#include "naming/name_database.h"
#include "ui/form1.h"
#include "ui/meldungsdienst.h"

namespace cartonym::ui {

std::unique_ptr<Form1> Starte_form1(const std::string& database_path, Meldungsdienst& messages, Schale& schale,
                                    Uhr& clock_)
{
    const StartupCheckResult check = check_database_at_startup(database_path);
    switch (check.state) {
    case StartupState::Ready:
        break;
    case StartupState::DatabaseMissing:
        messages.zeige(nullptr, {"Error !", check.message, MessageIcon::Exclamation});
        return nullptr;
    case StartupState::DatabaseFaulty:
        messages.zeige(nullptr, {"Error !", check.message, MessageIcon::Exclamation});
        break;
    }
    return std::make_unique<Form1>(database_path, messages, schale, clock_);
}

} // namespace cartonym::ui
