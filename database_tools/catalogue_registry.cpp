// SPDX-License-Identifier: GPL-3.0-or-later
#include "database_tools/catalogue_registry.h"

#include "common/error.h"
#include "common/file_contents.h"
#include "common/paths.h"
#include "common/system_calls.h"
#include "common/user_folders.h"

#include <algorithm>
#include <cstdlib>

namespace cartonym {

std::string catalogue_folder()
{
    const auto data = user_folder(UserFolderKind::data);
    if (!data)
        throw Error(ErrorNumber::path_not_found);
    return join_path(*data, "catalogues");
}

std::vector<std::string> registered_catalogues()
{
    std::vector<std::string> files;
    if (!user_folder(UserFolderKind::data))
        return files;
    const std::string folder = catalogue_folder();
    if (entry_kind(folder) == EntryKind::missing)
        return files;
    Directory directory(folder);
    while (const auto entry = directory.next()) {
        if (!entry->name.starts_with(".") && entry_kind(join_path(folder, entry->name)) == EntryKind::regular_file)
            files.push_back(entry->name);
    }
    std::sort(files.begin(), files.end());
    return files;
}

namespace {

// Catalogues are read and copied in pieces: never held whole.
constexpr std::size_t Piece = 1 << 20;

// Whether the two files hold the same bytes.
bool same_bytes(const ReadableFile& one, const ReadableFile& other)
{
    if (one.length() != other.length())
        return false;
    std::string a(Piece, '\0'), b(Piece, '\0');
    for (std::uint64_t position = 0; position < one.length(); position += Piece) {
        const auto size = static_cast<std::size_t>(std::min<std::uint64_t>(Piece, one.length() - position));
        one.read_at(position, reinterpret_cast<unsigned char*>(a.data()), size);
        other.read_at(position, reinterpret_cast<unsigned char*>(b.data()), size);
        if (a.compare(0, size, b, 0, size) != 0)
            return false;
    }
    return true;
}

} // namespace

std::string register_catalogue(const std::string& path)
{
    const std::string folder = catalogue_folder();
    create_missing_folders(folder);
    const std::vector<std::string> files = registered_catalogues();
    const ReadableFile source(path);
    int number = 0;
    for (const std::string& file : files) {
        number = std::max(number, std::atoi(file.c_str()));
        // A registered copy, or the same file again (by whatever path), is
        // registered once.
        if (same_bytes(source, ReadableFile(join_path(folder, file))))
            throw Error(ErrorNumber::file_already_exists, path + ": this catalogue is registered already, as " + file);
    }
    WorkingFile copy(working_name_beside(join_path(folder, "catalogue")));
    std::string buffer(Piece, '\0');
    for (std::uint64_t position = 0; position < source.length();) {
        const auto size = static_cast<std::size_t>(std::min<std::uint64_t>(Piece, source.length() - position));
        source.read_at(position, reinterpret_cast<unsigned char*>(buffer.data()), size);
        copy.write(std::string_view(buffer.data(), size));
        position += size;
    }
    copy.finish();
    for (;;) {
        std::string prefix = std::to_string(++number);
        prefix.insert(0, prefix.size() < 4 ? 4 - prefix.size() : 0, '0');
        const std::string name = prefix + ' ' + base_name(path);
        try {
            copy.place(join_path(folder, name));
            return name;
        } catch (const Error& error) {
            if (error.number() != ErrorNumber::file_already_exists)
                throw;
        }
    }
}

bool unregister_catalogue(const std::string& file)
{
    const std::vector<std::string> files = registered_catalogues();
    if (std::find(files.begin(), files.end(), file) == files.end())
        return false;
    remove_name(join_path(catalogue_folder(), file));
    return true;
}

} // namespace cartonym
