// SPDX-License-Identifier: GPL-3.0-or-later
// Forms as data: a window's controls as a table of name, kind, container,
// rectangle in twips and caption, built by one loop. Both windows use it,
// and so do the colour helpers they share.
#pragma once

#include <QtCore/Qt>
#include <QtGui/QColor>
#include <QtWidgets/QWidget>

#include <span>
#include <stdexcept>
#include <string>

namespace cartonym::ui {

enum class ControlKind {
    Frame,        // QGroupBox with a caption
    OptionButton, // QRadioButton
    CheckBox,
    Label,       // word-wrapped QLabel
    ValueLabel,  // one-line plain-text QLabel, filled by the program
    ElidedLabel, // one-line label that elides a long text (ui/widgets.h)
    LinkLabel,   // clickable label (ui/widgets.h)
    ComboBox,
    FolderTree, // ui/widgets.h
    ListBox,    // QListWidget
    ProgressBar,
    Button,     // QPushButton
    ScrollArea, // ui/widgets.h
    TextField,  // QLineEdit
};

enum class FontChoice { Inherit, Bold, Dialog, Link };

struct ControlRow {
    const char* name;
    ControlKind kind;
    const char* container;        // object name of a frame, or "" for the form itself
    int left, top, width, height; // twips, relative to the container
    const char* caption;
    FontChoice font = FontChoice::Inherit;
    Qt::Alignment alignment = Qt::AlignLeft;
};

// Creates every control of the table in order, inside form or inside the
// frame its row names (which must come earlier in the table).
void build_controls(QWidget* form, std::span<const ControlRow> controls);

// Thrown when a window lacks a control its code needs (a table and its
// code out of step): a fault of the program, not of anything the user did,
// so a logic error rather than an Error. The window cannot be made, and the
// text says why.
class MissingControl : public std::logic_error {
public:
    explicit MissingControl(const char* name)
        : std::logic_error(std::string("The window has no control ") + name + " of the kind its code needs.")
    { }
};

// The control of that object name and kind below form; throws MissingControl
// when there is none.
template <typename Control> Control* control(const QWidget* form, const char* name)
{
    auto* found = form->findChild<Control*>(QLatin1String(name));
    if (found == nullptr)
        throw MissingControl(name);
    return found;
}

void set_text_colour(QWidget* widget, const QColor& colour);
void set_background(QWidget* widget, const QColor& colour);

} // namespace cartonym::ui
