// SPDX-License-Identifier: GPL-3.0-or-later
// The window's edge: Windows-1252 core texts and file-system paths as Qt
// strings and back, and the fonts the windows use.
#pragma once

#include <QtCore/QString>
#include <QtGui/QFont>

#include <string>

namespace cartonym::ui {

// Makes the program's images available under :/images/.
void load_images();

// A Windows-1252 text of the core as a QString.
QString from_cp1252(const std::string& cp1252);

// A message's Windows-1252 text as the window shows it: the names in it as
// the lists show them. The core escapes what Windows-1252 cannot write
// ("\u{30B9}", a backslash as "\\"); here those characters come back, and
// only bytes that are no UTF-8 ("\xFF") stay escaped.
QString message_text(const std::string& cp1252);

// A file-system path or name (bytes as the system gives them) for display.
QString from_file_system(const std::string& path);

// A displayed path back as the file system's bytes.
std::string to_file_system(const QString& path);

// Verdana 8.25 pt bold: frames, buttons and the captions with fixed text.
QFont bold_font();

// The default dialog font: MS Sans Serif, or the closest installed sans, at
// 7.5 pt so that the texts fit in DejaVu Sans too.
QFont dialog_font();

// A twips value as device-independent pixels (15 twips to a pixel at 96 dpi).
constexpr int pixels(int twips) { return twips / 15; }

} // namespace cartonym::ui
