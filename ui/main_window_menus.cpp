// SPDX-License-Identifier: GPL-3.0-or-later
// Form1's menus, and File > Export a set..., which hands the window's
// folder, database, catalogues and options to the export dialog.
#include "ui/main_window.h"

#include "operations/identification.h"
#include "ui/export_dialog.h"
#include "ui/text_conversion.h"
#include "ui/window_settings.h"

#include <QtGui/QAction>
#include <QtGui/QKeySequence>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>

namespace cartonym::ui {

// Menu titles carry mnemonics (Alt+F opens File); the captions read as before.
void Form1::build_menus()
{
    const auto add_menu = [this](const char* name, const QString& title) {
        QMenu* menu = menuBar()->addMenu(title);
        menu->setObjectName(QLatin1String(name));
        return menu;
    };
    const auto add_item = [this](QMenu* menu, const char* name, const QString& caption, auto handler) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QLatin1String(name));
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    dateimenu = add_menu("dateimenu", QStringLiteral("&File"));
    undo_batch_run =
        add_item(dateimenu, "undo_batch_run", QStringLiteral("&Undo batch run..."), &Form1::undo_batch_run_Click);
    // Options on unless turned off, remembered from one start to the next.
    const auto add_option = [&](const char* name, const QString& text) {
        QAction* action = dateimenu->addAction(text);
        const QString key = QLatin1String(name);
        action->setObjectName(key);
        action->setCheckable(true);
        action->setChecked(window_settings().value(key, true).toBool());
        connect(action, &QAction::toggled, this, [key](bool on) { window_settings().setValue(key, on); });
        return action;
    };
    look_inside_archives = add_option("look_inside_archives", QStringLiteral("Look inside &archives"));
    move_companions = add_option("move_companions", QStringLiteral("Move &companion files with images"));
    export_a_set = add_item(dateimenu, "export_a_set", QStringLiteral("&Export a set..."), &Form1::export_a_set_Click);
    open_folder = add_item(dateimenu, "open_folder", QStringLiteral("Open &folder"), &Form1::open_folder_Click);
    open_game_list =
        add_item(dateimenu, "open_game_list", QStringLiteral("Open &game list"), &Form1::open_game_list_Click);
    beenden = add_item(dateimenu, "beenden", QStringLiteral("E&xit"), &Form1::beenden_Click);
    beenden->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));

    database_menu = add_menu("database_menu", QStringLiteral("&Database"));
    check_database =
        add_item(database_menu, "check_database", QStringLiteral("&Check snes.dat..."), &Form1::check_database_Click);
    learn_names = add_item(
        database_menu, "learn_names", QStringLiteral("&Learn names from a folder..."), &Form1::learn_names_Click);
    import_catalogue = add_item(database_menu, "import_catalogue", QStringLiteral("&Import a ROM catalogue..."),
        &Form1::import_catalogue_Click);
    database_menu->addSeparator();
    catalogue_list =
        add_item(database_menu, "catalogue_list", QStringLiteral("C&atalogues..."), &Form1::catalogue_list_Click);
    catalogue_report =
        add_item(database_menu, "catalogue_report", QStringLiteral("&Report..."), &Form1::catalogue_report_Click);

    hilfemenu = add_menu("hilfemenu", QStringLiteral("&Help"));
    homepage = add_item(hilfemenu, "homepage", QStringLiteral("The Cartonym &Homepage"), &Form1::homepage_Click);
    about = add_item(hilfemenu, "about", QStringLiteral("&About..."), &Form1::about_Click);
    about->setShortcut(QKeySequence(Qt::Key_F1));
}

void Form1::export_a_set_Click()
{
    trap_file_errors([&] {
        follow_registry();
        ExportSetting setting;
        setting.folder = from_file_system(folder_path());
        setting.database_path = database_path_;
        setting.catalogues = catalogues_ ? &catalogues_->tier() : nullptr;
        setting.archives = look_inside_archives->isChecked();
        setting.companions = move_companions->isChecked();
        show_export_dialog(this, messages_, shell_, clock_, setting);
    });
}

} // namespace cartonym::ui
