// SPDX-License-Identifier: GPL-3.0-or-later
// File > Export a set...: a folder's images copied into another folder in
// the layout a device expects, previewed first, copied with a progress
// dialog that tells the time left, and taken back again on request. The
// work is the core's export_set(), the same call cartonym-cli's "export"
// makes.
#pragma once

#include <QtCore/QString>

#include <string>

class QWidget;

namespace cartonym {
class CatalogueTier;
} // namespace cartonym

namespace cartonym::ui {

class Clock;
class MessageService;
class Shell;

// What the window hands the export: its folder, its database, the
// catalogues in use (nullptr: none) and its File-menu options.
struct ExportSetting {
    QString folder;
    std::string database_path;
    const CatalogueTier* catalogues = nullptr;
    bool archives = true;
    bool companions = true;
};

// Shows the dialog named "export_set", modal to parent, until it is closed.
void show_export_dialog(
    QWidget* parent, MessageService& messages, Shell& shell, const Clock& clock, const ExportSetting& setting);

} // namespace cartonym::ui
