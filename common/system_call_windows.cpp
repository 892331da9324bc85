// SPDX-License-Identifier: GPL-3.0-or-later
// The helpers of the Windows implementation files: text and paths as the
// system's calls take them, and their failures.
#include "common/system_call_windows.h"

#include "common/paths.h"
#include "common/windows1252.h"

#include <vector>

namespace cartonym::windows {
namespace {

constexpr char32_t replacement = 0xFFFD;

// The number of continuation bytes after a lead byte, -1 for no lead byte.
int continuation_count(unsigned char lead)
{
    if (lead < 0x80)
        return 0;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 1;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 2;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 3;
    return -1;
}

// Decodes one sequence at pos, surrogates included (the three bytes of a
// lone UTF-16 unit), and moves pos past it.
char32_t decode(std::string_view text, std::size_t& pos)
{
    const auto lead = static_cast<unsigned char>(text[pos++]);
    const int count = continuation_count(lead);
    if (count <= 0)
        return count == 0 ? lead : replacement;
    char32_t value = lead & (0x3F >> count);
    for (int i = 0; i < count; ++i) {
        if (pos >= text.size() || (static_cast<unsigned char>(text[pos]) & 0xC0) != 0x80)
            return replacement;
        value = (value << 6) | (static_cast<unsigned char>(text[pos++]) & 0x3F);
    }
    const char32_t smallest[] = {0, 0x80, 0x800, 0x10000};
    return value < smallest[count] || value > 0x10FFFF ? replacement : value;
}

// The units of the path after its root, with "." and ".." taken out.
std::vector<std::string> names_after(const std::string& path, std::size_t from)
{
    std::vector<std::string> names;
    std::size_t start = from;
    for (std::size_t at = from; at <= path.size(); ++at) {
        if (at < path.size() && !is_path_separator(path[at]))
            continue;
        const std::string name = path.substr(start, at - start);
        if (name == "..") {
            if (!names.empty())
                names.pop_back();
        } else if (!name.empty() && name != ".") {
            names.push_back(name);
        }
        start = at + 1;
    }
    return names;
}

// The current folder of the process.
std::string current_folder()
{
    const DWORD length = ::GetCurrentDirectoryW(0, nullptr);
    std::wstring folder(length, L'\0');
    folder.resize(::GetCurrentDirectoryW(length, folder.data()));
    return narrow(folder);
}

// path made absolute: from a drive's root, or a share.
std::string absolute(const std::string& path)
{
    if (path.size() >= 2 && path[1] == ':') // "C:name" is taken from the drive's root
        return path.size() >= 3 && is_path_separator(path[2]) ? path : path.substr(0, 2) + "\\" + path.substr(2);
    if (path.size() >= 2 && is_path_separator(path[0]) && is_path_separator(path[1]))
        return path;
    if (!path.empty() && is_path_separator(path[0]))
        return current_folder().substr(0, 2) + path; // from the current drive's root
    return join_path(current_folder(), path);
}

} // namespace

std::wstring wide(std::string_view text)
{
    std::wstring result;
    result.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        const char32_t c = decode(text, pos);
        if (c >= 0x10000) {
            result += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
            result += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            result += static_cast<wchar_t>(c);
        }
    }
    return result;
}

std::string narrow(std::wstring_view text)
{
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        append_utf8(result, c);
    }
    return result;
}

std::wstring system_path(const std::string& path)
{
    if (path.starts_with("\\\\?\\") || path.starts_with("\\\\.\\"))
        return wide(path);
    const std::string full = absolute(path);
    const bool share = is_path_separator(full[1]);
    const std::size_t root_end = share ? full.find_first_of("\\/", full.find_first_of("\\/", 2) + 1) : 2;
    std::string root = share ? "\\\\?\\UNC\\" + full.substr(2, root_end - 2) : "\\\\?\\" + full.substr(0, 2);
    for (char& c : root)
        c = c == '/' ? '\\' : c;
    std::string result = root;
    for (const std::string& name : names_after(full, std::min(root_end, full.size())))
        result += "\\" + name;
    if (result == root)
        result += "\\";
    return wide(result);
}

std::string program_path(std::wstring_view path)
{
    if (path.starts_with(L"\\\\?\\UNC\\"))
        return "\\\\" + narrow(path.substr(8));
    if (path.starts_with(L"\\\\?\\"))
        return narrow(path.substr(4));
    return narrow(path);
}

SystemResult last_result() noexcept { return result_of_platform_number(static_cast<int>(::GetLastError())); }

void throw_last_error() { last_result().raise(); }

HANDLE open_for_attributes(const std::string& path, bool follow_links)
{
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (follow_links ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    return ::CreateFileW(system_path(path).c_str(), FILE_READ_ATTRIBUTES,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, flags, nullptr);
}

} // namespace cartonym::windows
