// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/output.h"

#include "common/paths.h"

namespace cartonym::cli_output {

std::string name_on_one_line(const std::string& name)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string line;
    for (const char character : name) {
        const auto byte = static_cast<unsigned char>(character);
        if (byte == '\\' && !windows_paths) { // (on Windows a separator, never part of a name)
            line += "\\\\";
        } else if (byte < 0x20 || byte == 0x7F) {
            line += "\\u{00";
            line += digits[byte >> 4];
            line += digits[byte & 0x0F];
            line += '}';
        } else {
            line += character;
        }
    }
    return line;
}

} // namespace cartonym::cli_output
