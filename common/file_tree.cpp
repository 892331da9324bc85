#include "common/file_tree.h"

#include "common/error.h"
#include "common/system_calls.h"

namespace cartonym {

std::string parent_folder(const std::string& path)
{
    const auto cut = path.rfind('/');
    if (cut == std::string::npos)
        return ".";
    return cut == 0 ? "/" : path.substr(0, cut);
}

void create_missing_folders(const std::string& path)
{
    for (std::size_t cut = path.find('/', 1);; cut = path.find('/', cut + 1)) {
        const std::string part = path.substr(0, cut);
        if (!part.empty()) {
            const int error = make_folder(part);
            if (error != 0 && error != EEXIST)
                throw_errno(error);
        }
        if (cut == std::string::npos)
            return;
    }
}

std::string whole_file(const std::string& path)
{
    const ReadableFile file(path);
    std::string content(static_cast<std::size_t>(file.length()), '\0');
    if (!content.empty())
        file.read_at(0, reinterpret_cast<unsigned char*>(content.data()), content.size());
    return content;
}

void place_new_file(const std::string& path, std::string_view content)
{
    // A private name of the kind a later run or undo removes when this
    // process has ended (see remove_leftovers_of_ended_moves()).
    std::string working = parent_folder(path) + "/.cartonym-copy-" + std::to_string(process_id()) + "-XXXXXX";
    FileDescriptor file = create_unique_file(working);
    int error = 0;
    try {
        write_all(file, content);
        sync_file(file);
        file.close();
        error = rename_without_replacing(working, path, SystemOperation::Move, path);
    } catch (...) {
        file.discard();
        remove_name(working);
        throw;
    }
    if (error != 0) {
        remove_name(working);
        throw_errno(error);
    }
}

std::string resolved_as_far_as_it_exists(const std::string& path)
{
    std::string existing = path, rest;
    while (!entry_exists(existing) && existing != "/" && existing != ".") {
        const auto cut = existing.rfind('/');
        rest = existing.substr(cut + 1) + (rest.empty() ? "" : "/" + rest);
        existing = parent_folder(existing);
    }
    const std::string resolved = resolved_path(existing);
    return rest.empty() ? resolved : resolved + (resolved.ends_with('/') ? "" : "/") + rest;
}

} // namespace cartonym
