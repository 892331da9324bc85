// The window's edge: Windows-1252 core texts and file-system paths as Qt
// strings and back, and the fonts the windows use.
#pragma once

#include <QtCore/QString>
#include <QtGui/QFont>

#include <string>

namespace cartonym::ui {

// Makes the program's images available under :/bilder/.
void Lade_bilder();

// A Windows-1252 text of the core as a QString.
QString Qtext(const std::string& cp1252);

// A file-system path or name (bytes as the system gives them) for display.
QString Qpfad(const std::string& path);

// A displayed path back as the file system's bytes.
std::string Systempfad(const QString& path);

// A file-system path as Windows-1252 for the core's messages; bytes the code
// page cannot write are passed through unchanged.
std::string Cp1252_pfad(const std::string& path);

// Verdana 8.25 pt bold: frames, buttons and the captions with fixed text.
QFont Fette_schrift();

// The default dialog font, MS Sans Serif 8.25 pt, or the closest installed sans.
QFont Dialogschrift();

// A twips value as device-independent pixels (15 twips to a pixel at 96 dpi).
constexpr int Pixel(int twips) { return twips / 15; }

} // namespace cartonym::ui
