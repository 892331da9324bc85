// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop program: checks for its name database (the user's own when
// there is one, else snes.dat beside the program), then shows the main window.
#include "common/program_info.h"
#include "naming/database_location.h"
#include "ui/clock.h"
#include "ui/first_start_hint.h"
#include "ui/main_window.h"
#include "ui/message_service.h"
#include "ui/startup.h"
#include "ui/text_conversion.h"

#include <QtGui/QIcon>
#include <QtWidgets/QApplication>

#include <exception>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(cartonym::program_info::Name));
    QApplication::setApplicationVersion(QString::fromUtf8(cartonym::program_info::version_text));
    cartonym::ui::load_images();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/images/icon.png")));
    QApplication::setDesktopFileName(QStringLiteral("cartonym"));

    using namespace cartonym::ui;
    try {
        const auto window = start_main_window(
            cartonym::chosen_database_path(), default_message_service(), default_shell(), default_clock());
        if (!window)
            return 1;
        window->show();
        show_first_start_hint(window.get(), [&window] { window->catalogue_list_Click(); });
        return QApplication::exec();
    } catch (const std::exception& error) {
        default_message_service().show(nullptr, {"Error !", error.what(), cartonym::MessageIcon::exclamation});
        return 1;
    }
}
