// SPDX-License-Identifier: GPL-3.0-or-later
// The Windows implementation of common/folders.h (but for
// rename_without_replacing(), which common/file_operations.cpp builds).
// The no-replace rename is MoveFileExW without MOVEFILE_REPLACE_EXISTING:
// it refuses a taken name, also one differing only in letter case, and
// another volume's target (other_volume, which the move across file
// systems then copies to).
#include "common/folders.h"

#include "common/paths.h"
#include "common/system_call_windows.h"

#include <memory>

namespace cartonym {

using namespace windows;

namespace {

SystemResult move_file_ex(const std::string& source, const std::string& target, DWORD flags, SystemOperation operation,
    const std::string& hook_path)
{
    return call_result(operation, hook_path,
        [&] { return ::MoveFileExW(system_path(source).c_str(), system_path(target).c_str(), flags) != 0; });
}

// The entries of a folder being listed: the search handle and the entry
// found before it was asked for.
struct Listing {
    HANDLE search = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAW found{};
    bool pending = false;
};

EntryKind kind_of(const WIN32_FIND_DATAW& found)
{
    const DWORD attributes = found.dwFileAttributes;
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0
        && (found.dwReserved0 == IO_REPARSE_TAG_SYMLINK || found.dwReserved0 == IO_REPARSE_TAG_MOUNT_POINT))
        return EntryKind::link;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? EntryKind::folder : EntryKind::regular_file;
}

// Ends a search after asking the hook: the search is gone whatever closing
// answers (an injected failure too), so nothing is reported.
void end_search(const std::string& path, HANDLE search) noexcept
{
    system_call(
        SystemOperation::close, path, [] { return true; }, false);
    ::FindClose(search);
}

} // namespace

void sync_folder(const std::string& folder)
{
    // Windows writes a folder's entries through its own journal (NTFS) or
    // not at all on demand (FAT): a folder cannot be flushed by a program,
    // which counts as flushed.
    if (!system_call(SystemOperation::sync, folder, [] { return true; }))
        throw_last_error();
}

SystemResult rename_no_replace(
    const std::string& source, const std::string& target, SystemOperation operation, const std::string& hook_path)
{
    return move_file_ex(source, target, MOVEFILE_WRITE_THROUGH, operation, hook_path);
}

SystemResult rename_over(
    const std::string& source, const std::string& target, SystemOperation operation, const std::string& hook_path)
{
    return move_file_ex(source, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH, operation, hook_path);
}

SystemResult exchange_names(const std::string&, const std::string& second)
{
    // Windows cannot swap two names in one step.
    return call_result(SystemOperation::move, second, [] {
        ::SetLastError(ERROR_NOT_SUPPORTED);
        return false;
    });
}

SystemResult make_folder(const std::string& path, NoThrow) noexcept
{
    return call_result(SystemOperation::create_folder, path,
        [&] { return ::CreateDirectoryW(system_path(path).c_str(), nullptr) != 0; });
}

SystemResult remove_empty_folder(const std::string& path, NoThrow) noexcept
{
    return call_result(
        SystemOperation::remove_folder, path, [&] { return ::RemoveDirectoryW(system_path(path).c_str()) != 0; });
}

Directory::Directory(const std::string& path)
    : path_(path)
{
    auto listing = std::make_unique<Listing>();
    const bool opened = system_call(SystemOperation::list, path, [&] {
        const std::wstring pattern = system_path(join_path(path, "*"));
        listing->search = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &listing->found, FindExSearchNameMatch,
            nullptr, FIND_FIRST_EX_LARGE_FETCH);
        listing->pending = listing->search != INVALID_HANDLE_VALUE;
        // A folder without entries (a drive's root lists no "." and "..").
        return listing->pending || ::GetLastError() == ERROR_FILE_NOT_FOUND;
    });
    if (!opened)
        throw_last_error();
    stream_ = listing.release();
}

Directory::~Directory()
{
    auto* listing = static_cast<Listing*>(stream_);
    if (listing != nullptr && listing->search != INVALID_HANDLE_VALUE)
        end_search(path_, listing->search);
    delete listing;
}

std::optional<Directory::Entry> Directory::next()
{
    auto* listing = static_cast<Listing*>(stream_);
    const bool read = system_call(SystemOperation::list, path_, [&] {
        if (listing->pending || listing->search == INVALID_HANDLE_VALUE)
            return true;
        listing->pending = ::FindNextFileW(listing->search, &listing->found) != 0;
        return listing->pending || ::GetLastError() == ERROR_NO_MORE_FILES;
    });
    if (!read)
        throw_last_error();
    if (!listing->pending)
        return std::nullopt;
    listing->pending = false;
    return Entry{narrow(listing->found.cFileName), kind_of(listing->found), true};
}

bool Directory::leads_to_regular_file(const std::string& name) const
{
    const StatusResult looked = status_of(join_path(path_, name), Links::followed, no_throw);
    return looked.result.done() && looked.status.kind == EntryKind::regular_file;
}

bool Directory::is_subfolder(const std::string& name) const
{
    const StatusResult looked = status_of(join_path(path_, name), Links::not_followed, no_throw);
    return looked.result.done() && looked.status.kind == EntryKind::folder;
}

} // namespace cartonym
