// SPDX-License-Identifier: GPL-3.0-or-later
// The window's settings: the remembered folder, the archive option and the
// first-start hint, in cartonym.conf of the user's config folder.
#pragma once

#include <QtCore/QSettings>

namespace cartonym::ui {

// The settings file in the config folder the core names for this user
// (where the rest of the program's own files are found alike); without one
// (no home folder) Qt's own place for the program's settings.
QSettings window_settings();

} // namespace cartonym::ui
