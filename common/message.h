// A message for the user, as the window shows it in a modal box and the
// command line prints it. Texts are Windows-1252.
#pragma once

#include <string>

namespace cartonym {

enum class MessageIcon { None, Information, Exclamation };

struct Message {
    std::string title;
    std::string text;
    MessageIcon symbol = MessageIcon::Information;
};

} // namespace cartonym
