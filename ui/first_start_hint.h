// SPDX-License-Identifier: GPL-3.0-or-later
// The hint of a first start: where the names come from, and the one step
// that gives verified names.
#pragma once

#include <QtCore/QString>

#include <functional>

class QWidget;
class QDialog;

namespace cartonym::ui {

// The settings key that remembers the hint was dismissed.
inline constexpr const char* first_start_hint_key = "first_start_hint_dismissed";

// The status bar's hint in file mode while no catalogue is registered.
QString no_catalogue_hint();

// Shows the hint beside parent, without holding it up, unless it was
// dismissed before or a catalogue is registered; nullptr then. Closing it
// dismisses it for good unless "Show this hint at the next start" is
// ticked; its "Catalogues..." button closes it and runs open_catalogues.
QDialog* show_first_start_hint(QWidget* parent, const std::function<void()>& open_catalogues);

} // namespace cartonym::ui
