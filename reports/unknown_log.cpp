#include "reports/unknown_log.h"

#include "common/windows1252.h"
#include "common/system_calls.h"
#include "common/error.h"
#include "common/program_info.h"
#include "common/number_text.h"
#include "naming/file_names.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cartonym {
namespace {

constexpr const char* line_end = "\r\n";

// Decodes one well-formed UTF-8 sequence at pos (shortest form, no
// surrogates, at most U+10FFFF); false leaves pos unchanged.
bool decode_utf8(std::string_view text, std::size_t& pos, char32_t& character)
{
    const auto first_byte = static_cast<unsigned char>(text[pos]);
    std::size_t continuation = 0;
    char32_t minimum = 0;
    if (first_byte < 0x80) {
        character = first_byte;
        ++pos;
        return true;
    }
    if ((first_byte & 0xE0) == 0xC0) {
        continuation = 1;
        minimum = 0x80;
        character = first_byte & 0x1Fu;
    } else if ((first_byte & 0xF0) == 0xE0) {
        continuation = 2;
        minimum = 0x800;
        character = first_byte & 0x0Fu;
    } else if ((first_byte & 0xF8) == 0xF0) {
        continuation = 3;
        minimum = 0x10000;
        character = first_byte & 0x07u;
    } else {
        return false;
    }
    if (pos + continuation >= text.size())
        return false;
    for (std::size_t i = 1; i <= continuation; ++i) {
        const auto byte = static_cast<unsigned char>(text[pos + i]);
        if ((byte & 0xC0) != 0x80)
            return false;
        character = (character << 6) | (byte & 0x3Fu);
    }
    if (character < minimum || character > 0x10FFFF || (character >= 0xD800 && character <= 0xDFFF))
        return false;
    pos += continuation + 1;
    return true;
}

bool is_control_character(char32_t character)
{
    return character < 0x20 || (character >= 0x7F && character <= 0x9F);
}

int hex_digit_value(char character)
{
    if (character >= '0' && character <= '9')
        return character - '0';
    if (character >= 'A' && character <= 'F')
        return character - 'A' + 10;
    return -1;
}

} // namespace

std::string unknown_log_entry(const std::string& file, const std::string& format, const std::string& iname,
                              const std::string& country, const std::string& crc)
{
    std::string entry = "Datasource: The Cartonym ver." + decimal_text(program_info::version_major) + "."
        + decimal_text(program_info::version_minor) + "." + decimal_text(program_info::version_revision) + " Englisch"
        + line_end;
    entry += "Filename = \"" + file + "\"" + line_end;
    entry += "Format = " + format + line_end;
    entry += "Internal name = \"" + iname + "\"" + line_end;
    entry += "Country = " + country + line_end;
    entry += "CRC1 = " + crc + line_end;
    entry += line_end;
    return entry;
}

void Schreibe_unbekannt(const std::string& ordner, const std::string& datei, const std::string& format,
                        const std::string& iname, const std::string& land, const std::string& crc)
{
    const std::string path = join_path(ordner, "unknown.log");
    if (const int error = injected_error(SystemOperation::Open, path))
        throw_errno(error);
    // The log is appended to only when it is a plain file of its own: a link
    // of that name is never written through (it could lead into any file),
    // and a FIFO must not hold the run waiting for a reader. Both are
    // path/file access errors.
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0666);
    if (fd < 0) {
        const int error = errno;
        struct stat info {};
        if (error == ELOOP && ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode))
            throw Error(ErrorNumber::PathFileAccessError);
        throw_errno(error);
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const int error = errno;
        ::close(fd);
        throw_errno(error);
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        throw Error(ErrorNumber::PathFileAccessError);
    }
    // One write for the whole entry, so that entries do not interleave.
    const std::string entry = unknown_log_entry(datei, format, iname, land, crc);
    try {
        write_all(fd, entry, path);
    } catch (const Error&) {
        ::close(fd);
        throw;
    }
    int error = injected_error(SystemOperation::Close, path);
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error != 0)
        throw_errno(error);
}

std::string escaped_file_name(std::string_view name)
{
    std::string text;
    std::size_t pos = 0;
    char buffer[16];
    while (pos < name.size()) {
        char32_t character = 0;
        if (!decode_utf8(name, pos, character)) {
            std::snprintf(buffer, sizeof buffer, "\\x%02X", static_cast<unsigned>(static_cast<unsigned char>(name[pos])));
            text += buffer;
            ++pos;
            continue;
        }
        if (character == '\\') {
            text += "\\\\";
            continue;
        }
        const auto byte = cp1252_from_code_point(character);
        if (byte && !is_control_character(character)) {
            text += static_cast<char>(*byte);
            continue;
        }
        std::snprintf(buffer, sizeof buffer, "\\u{%04X}", static_cast<unsigned>(character));
        text += buffer;
    }
    return text;
}

std::optional<std::string> file_name_from_escaped(std::string_view text)
{
    std::string name;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const char character = text[pos];
        if (character != '\\') {
            append_utf8(name, code_point_from_cp1252(static_cast<unsigned char>(character)));
            ++pos;
            continue;
        }
        if (pos + 1 >= text.size())
            return std::nullopt;
        const char kind = text[pos + 1];
        if (kind == '\\') {
            name += '\\';
            pos += 2;
        } else if (kind == 'x') {
            if (pos + 4 > text.size())
                return std::nullopt;
            const int high = hex_digit_value(text[pos + 2]);
            const int low = hex_digit_value(text[pos + 3]);
            if (high < 0 || low < 0)
                return std::nullopt;
            name += static_cast<char>(high * 16 + low);
            pos += 4;
        } else if (kind == 'u') {
            if (pos + 2 >= text.size() || text[pos + 2] != '{')
                return std::nullopt;
            const auto end_pos = text.find('}', pos + 3);
            if (end_pos == std::string_view::npos || end_pos - (pos + 3) < 4 || end_pos - (pos + 3) > 6)
                return std::nullopt;
            char32_t value = 0;
            for (std::size_t i = pos + 3; i < end_pos; ++i) {
                const int digit = hex_digit_value(text[i]);
                if (digit < 0)
                    return std::nullopt;
                value = value * 16 + static_cast<char32_t>(digit);
            }
            if (value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
                return std::nullopt;
            append_utf8(name, value);
            pos = end_pos + 1;
        } else {
            return std::nullopt;
        }
    }
    return name;
}

} // namespace cartonym
