// SPDX-License-Identifier: GPL-3.0-or-later
// A message for the user, as the window shows it in a modal box and the
// command line prints it. Texts are Windows-1252.
#pragma once

#include <string>

namespace cartonym {

enum class MessageIcon { none, information, exclamation };

struct Message {
    std::string title;
    std::string text;
    MessageIcon symbol = MessageIcon::information;
};

} // namespace cartonym
