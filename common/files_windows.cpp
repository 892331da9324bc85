// SPDX-License-Identifier: GPL-3.0-or-later
// The Windows implementation of common/files.h. Files are opened sharing
// reading, writing and deleting with others, as POSIX does; a file another
// program holds open without sharing fails to open as a path/file access
// error (75) and is left as it is. The identity of a file is its volume's
// serial number and its file index; the lock of a file is a byte range of
// LockFileEx far past any data, so that it binds only the lock's takers.
#include "common/files.h"

#include "common/paths.h"
#include "common/system_call_windows.h"

#include <random>

namespace cartonym {

using namespace windows;

namespace {

HANDLE handle_of(const FileDescriptor& file) { return reinterpret_cast<HANDLE>(file.get()); }

constexpr DWORD share_all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// FILETIME (100 ns since 1601) as seconds and nanoseconds since 1970.
void unix_time(LARGE_INTEGER time, std::int64_t& seconds, std::int64_t& nanoseconds)
{
    constexpr std::int64_t since_1601 = 116444736000000000;
    const std::int64_t ticks = time.QuadPart - since_1601;
    seconds = ticks >= 0 ? ticks / 10000000 : -((-ticks + 9999999) / 10000000);
    nanoseconds = (ticks - seconds * 10000000) * 100;
}

// What the system tells of an open file (or folder, or link).
struct HandleFacts {
    BY_HANDLE_FILE_INFORMATION info{};
    FILE_BASIC_INFO basic{};
    FILE_ATTRIBUTE_TAG_INFO tag{};
    DWORD type = FILE_TYPE_UNKNOWN;
};

bool read_facts(HANDLE handle, HandleFacts& facts)
{
    facts.type = ::GetFileType(handle);
    return ::GetFileInformationByHandle(handle, &facts.info)
        && ::GetFileInformationByHandleEx(handle, FileBasicInfo, &facts.basic, sizeof facts.basic)
        && ::GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &facts.tag, sizeof facts.tag);
}

EntryKind kind_of(const HandleFacts& facts)
{
    const DWORD attributes = facts.info.dwFileAttributes;
    const bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0
        && (facts.tag.ReparseTag == IO_REPARSE_TAG_SYMLINK || facts.tag.ReparseTag == IO_REPARSE_TAG_MOUNT_POINT);
    if (link)
        return EntryKind::link;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return EntryKind::folder;
    return facts.type == FILE_TYPE_DISK ? EntryKind::regular_file : EntryKind::other;
}

FileIdentity identity_from(const HandleFacts& facts)
{
    FileIdentity identity;
    identity.device = facts.info.dwVolumeSerialNumber;
    identity.inode = (std::uint64_t{facts.info.nFileIndexHigh} << 32) | facts.info.nFileIndexLow;
    identity.size = (std::uint64_t{facts.info.nFileSizeHigh} << 32) | facts.info.nFileSizeLow;
    unix_time(facts.basic.LastWriteTime, identity.mtime_s, identity.mtime_ns);
    unix_time(facts.basic.ChangeTime, identity.ctime_s, identity.ctime_ns);
    return identity;
}

// A read-only file keeps the rights of reading only; every other file
// those of an ordinary one.
AccessRights rights_from(const HandleFacts& facts)
{
    return (facts.info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0 ? static_cast<AccessRights>(0444)
                                                                        : AccessRights::ordinary;
}

EntryStatus status_from(const HandleFacts& facts) { return {kind_of(facts), identity_from(facts), rights_from(facts)}; }

HandleFacts facts_of_open(const FileDescriptor& file)
{
    HandleFacts facts;
    if (!system_call(SystemOperation::examine, file.path(), [&] { return read_facts(handle_of(file), facts); }))
        throw_last_error();
    return facts;
}

DWORD access_of(OpenMode mode)
{
    DWORD access = has(mode, OpenMode::read) ? GENERIC_READ : 0;
    if (has(mode, OpenMode::append))
        access |= FILE_APPEND_DATA | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE;
    else if (has(mode, OpenMode::write))
        access |= GENERIC_WRITE;
    return access == 0 ? FILE_READ_ATTRIBUTES : access;
}

DWORD disposition_of(OpenMode mode)
{
    if (has(mode, OpenMode::create_new))
        return CREATE_NEW;
    return has(mode, OpenMode::create) ? OPEN_ALWAYS : OPEN_EXISTING;
}

// Opens as open_file() does; false with the failure as the last error. A
// link is refused where links are not to be followed, and a folder opened
// for writing or where none was asked for writing is refused too.
bool open_handle(const std::string& path, OpenMode mode, AccessRights rights, HANDLE& handle)
{
    const bool read_only = (static_cast<unsigned>(rights) & 0200) == 0;
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (has(mode, OpenMode::no_links) ? FILE_FLAG_OPEN_REPARSE_POINT : 0)
        | (read_only ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
    handle = ::CreateFileW(
        system_path(path).c_str(), access_of(mode), share_all, nullptr, disposition_of(mode), flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    HandleFacts facts;
    DWORD refusal = ERROR_SUCCESS;
    if (!read_facts(handle, facts))
        refusal = ::GetLastError();
    else if (kind_of(facts) == EntryKind::link && has(mode, OpenMode::no_links))
        refusal = ERROR_CANT_RESOLVE_FILENAME;
    else if (has(mode, OpenMode::folder) != (kind_of(facts) == EntryKind::folder)
        && (has(mode, OpenMode::folder) || has(mode, OpenMode::write)))
        refusal = has(mode, OpenMode::folder) ? ERROR_DIRECTORY : ERROR_ACCESS_DENIED;
    if (refusal == ERROR_SUCCESS)
        return true;
    ::CloseHandle(handle);
    handle = INVALID_HANDLE_VALUE;
    ::SetLastError(refusal);
    return false;
}

// A name for the Xs of a template: lower-case letters and digits, which no
// folding of letter case makes equal to another such name.
void fill_template(std::string& path, std::size_t from, std::size_t count)
{
    static std::mt19937_64 random{std::random_device{}() ^ static_cast<std::uint64_t>(::GetCurrentProcessId())};
    static constexpr char characters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (std::size_t i = 0; i < count; ++i)
        path[from + i] = characters[random() % (sizeof characters - 1)];
}

// The far byte whose lock is the file's advisory lock.
OVERLAPPED lock_place()
{
    OVERLAPPED place{};
    place.OffsetHigh = 0x40000000;
    return place;
}

bool take_lock(const FileDescriptor& file, DWORD flags)
{
    OVERLAPPED place = lock_place();
    return system_call(SystemOperation::lock, file.path(),
        [&] { return ::LockFileEx(handle_of(file), LOCKFILE_EXCLUSIVE_LOCK | flags, 0, 1, 0, &place) != 0; });
}

} // namespace

SystemResult FileDescriptor::close_once(const std::string& path, NativeHandle native) noexcept
{
    const HANDLE handle = reinterpret_cast<HANDLE>(native);
    bool called = false;
    const bool closed = system_call(
        SystemOperation::close, path,
        [&] {
            called = true;
            return ::CloseHandle(handle) != 0;
        },
        false);
    const SystemResult result = closed ? SystemResult{} : last_result();
    if (!called)
        ::CloseHandle(handle);
    return result;
}

FileDescriptor open_file(const std::string& path, OpenMode mode, AccessRights rights)
{
    HANDLE handle = INVALID_HANDLE_VALUE;
    if (!system_call(SystemOperation::open, path, [&] { return open_handle(path, mode, rights, handle); }))
        throw_last_error();
    return {reinterpret_cast<NativeHandle>(handle), path};
}

FileDescriptor create_unique_file(std::string& path_template, int suffix_length)
{
    const std::size_t end = path_template.size() - static_cast<std::size_t>(suffix_length);
    const std::size_t start = path_template.rfind("XXXXXX", end) == end - 6 ? end - 6 : end;
    for (int attempt = 0;; ++attempt) {
        fill_template(path_template, start, end - start);
        HANDLE handle = INVALID_HANDLE_VALUE;
        if (system_call(SystemOperation::open, path_template, [&] {
                return open_handle(
                    path_template, OpenMode::read_write | OpenMode::create_new, AccessRights::owner_only, handle);
            }))
            return {reinterpret_cast<NativeHandle>(handle), path_template};
        if (!last_result().is(SystemOutcome::exists) || attempt == 100)
            throw_last_error();
    }
}

StatusResult status_of(const std::string& path, Links links, NoThrow) noexcept
{
    HandleFacts facts;
    const SystemResult result = call_result(SystemOperation::examine, path, [&] {
        const ScopedHandle handle(open_for_attributes(path, links == Links::followed));
        return handle.is_open() && read_facts(handle.get(), facts);
    });
    return {result, result.done() ? status_from(facts) : EntryStatus{}};
}

FileIdentity identity_of(const FileDescriptor& file) { return identity_from(facts_of_open(file)); }

std::optional<std::string> link_target(const std::string& path)
{
    const auto status = entry_status(path);
    if (!status || status->kind != EntryKind::link)
        return std::nullopt;
    // The target as the system resolves it: Windows keeps a link's own text
    // in a reparse buffer that only a privileged control call reads whole.
    std::wstring target(32768, L'\0');
    DWORD length = 0;
    const bool read = system_call(SystemOperation::examine, path, [&] {
        const ScopedHandle handle(open_for_attributes(path, true));
        length = handle.is_open() ? ::GetFinalPathNameByHandleW(handle.get(), target.data(), 32768, 0) : 0;
        return length > 0 && length < 32768;
    });
    if (!read)
        return std::nullopt; // a link that leads nowhere
    target.resize(length);
    return program_path(target);
}

std::string resolved_path(const std::string& path)
{
    std::wstring resolved(32768, L'\0');
    DWORD length = 0;
    if (!system_call(SystemOperation::examine, path, [&] {
            const ScopedHandle handle(open_for_attributes(path, true));
            length = handle.is_open() ? ::GetFinalPathNameByHandleW(handle.get(), resolved.data(), 32768, 0) : 0;
            return length > 0 && length < 32768;
        }))
        throw_last_error();
    resolved.resize(length);
    return program_path(resolved);
}

void write_all(const FileDescriptor& file, std::string_view data)
{
    while (!data.empty()) {
        DWORD written = 0;
        const auto count = static_cast<DWORD>(std::min<std::size_t>(data.size(), 1U << 30));
        if (!system_call(SystemOperation::write, file.path(),
                [&] { return ::WriteFile(handle_of(file), data.data(), count, &written, nullptr) != 0; }))
            throw_last_error();
        data.remove_prefix(written);
    }
}

std::size_t read_at(const FileDescriptor& file, std::uint64_t offset, unsigned char* target, std::size_t count)
{
    // A positioned read moves the file's position on Windows: it is put back,
    // so that writes go where they went before, as after pread.
    const HANDLE handle = handle_of(file);
    LARGE_INTEGER position{};
    ::SetFilePointerEx(handle, LARGE_INTEGER{}, &position, FILE_CURRENT);
    OVERLAPPED place{};
    place.Offset = static_cast<DWORD>(offset);
    place.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD n = 0;
    const auto wanted = static_cast<DWORD>(std::min<std::size_t>(count, 1U << 30));
    const bool read = system_call(SystemOperation::read, file.path(),
        [&] { return ::ReadFile(handle, target, wanted, &n, &place) != 0 || ::GetLastError() == ERROR_HANDLE_EOF; });
    ::SetFilePointerEx(handle, position, nullptr, FILE_BEGIN);
    if (!read)
        throw_last_error();
    return n;
}

bool copy_in_system(const FileDescriptor&, std::uint64_t, const FileDescriptor&, std::uint64_t)
{
    return false; // the copy goes through the program's own writes
}

void sync_file(const FileDescriptor& file)
{
    // A handle opened for reading only has written nothing to flush.
    if (!system_call(SystemOperation::sync, file.path(),
            [&] { return ::FlushFileBuffers(handle_of(file)) != 0 || ::GetLastError() == ERROR_ACCESS_DENIED; }))
        throw_last_error();
}

void sync_file_system(const FileDescriptor&) noexcept
{
    // Flushing a whole volume takes an administrator's rights: each file
    // is flushed on its own.
}

void lock_file(const FileDescriptor& file)
{
    if (!take_lock(file, 0))
        throw_last_error();
}

bool try_lock_file(const FileDescriptor& file)
{
    if (take_lock(file, LOCKFILE_FAIL_IMMEDIATELY))
        return true;
    if (::GetLastError() == ERROR_LOCK_VIOLATION || ::GetLastError() == ERROR_IO_PENDING)
        return false;
    throw_last_error();
}

void truncate_file(const FileDescriptor& file, std::uint64_t size)
{
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    if (!system_call(SystemOperation::write, file.path(),
            [&] { return ::SetFileInformationByHandle(handle_of(file), FileEndOfFileInfo, &end, sizeof end) != 0; }))
        throw_last_error();
}

void set_access_rights(const FileDescriptor& file, AccessRights rights, bool only_where_kept)
{
    // Windows keeps one right of a file: whether it may be written.
    FILE_BASIC_INFO basic = facts_of_open(file).basic;
    const bool writable = (static_cast<unsigned>(rights) & 0200) != 0;
    basic.FileAttributes = writable ? basic.FileAttributes & ~DWORD{FILE_ATTRIBUTE_READONLY}
                                    : basic.FileAttributes | FILE_ATTRIBUTE_READONLY;
    if (basic.FileAttributes == 0)
        basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    if (system_call(SystemOperation::write, file.path(),
            [&] { return ::SetFileInformationByHandle(handle_of(file), FileBasicInfo, &basic, sizeof basic) != 0; }))
        return;
    if (!(only_where_kept && ::GetLastError() == ERROR_ACCESS_DENIED))
        throw_last_error();
}

CreatedFile create_empty_file(const std::string& path)
{
    HANDLE handle = INVALID_HANDLE_VALUE;
    if (!system_call(SystemOperation::open, path, [&] {
            return open_handle(
                path, OpenMode::write | OpenMode::create_new | OpenMode::no_links, AccessRights::ordinary, handle);
        }))
        return {last_result(), {}};
    const FileDescriptor file(reinterpret_cast<NativeHandle>(handle), path);
    HandleFacts facts;
    if (!system_call(SystemOperation::examine, path, [&] { return read_facts(handle, facts); }))
        return {last_result(), {}};
    return {{}, identity_from(facts)};
}

bool inodes_may_change_on_remount(const std::string& path)
{
    // FAT and exFAT give file indexes by place, which a remount or a defragmenter
    // may change; shares name files as their server does. NTFS and ReFS keep them.
    std::wstring root(32768, L'\0');
    wchar_t kind[MAX_PATH + 1] = {};
    const bool known = system_call(SystemOperation::examine, path, [&] {
        return ::GetVolumePathNameW(system_path(path).c_str(), root.data(), 32768)
            && ::GetDriveTypeW(root.c_str()) != DRIVE_REMOTE
            && ::GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, nullptr, nullptr, kind, MAX_PATH + 1);
    });
    const std::wstring_view name = kind;
    return !known || !(name == L"NTFS" || name == L"ReFS");
}

SystemResult create_link(const std::string& target, const std::string& path)
{
    std::string text = target;
    for (char& c : text)
        c = c == '/' ? '\\' : c;
    const bool folder =
        entry_kind(is_absolute_path(text) ? text : join_path(parent_folder(path), text)) == EntryKind::folder;
    const DWORD flags = SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE | (folder ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0);
    return call_result(SystemOperation::move, path,
        [&] { return ::CreateSymbolicLinkW(system_path(path).c_str(), wide(text).c_str(), flags) != 0; });
}

SystemResult create_hard_link(const std::string& existing, const std::string& path)
{
    return call_result(SystemOperation::link, path,
        [&] { return ::CreateHardLinkW(system_path(path).c_str(), system_path(existing).c_str(), nullptr) != 0; });
}

SystemResult remove_name(const std::string& path, NoThrow) noexcept
{
    return call_result(SystemOperation::remove, path, [&] { return ::DeleteFileW(system_path(path).c_str()) != 0; });
}

ReadableFile::ReadableFile(const std::string& path)
    : file_(open_file(path, OpenMode::read | OpenMode::no_waiting))
{
    const HandleFacts facts = facts_of_open(file_);
    if (kind_of(facts) != EntryKind::regular_file)
        throw Error(ErrorNumber::path_file_access_error);
    identity_ = identity_from(facts);
    access_rights_ = rights_from(facts);
}

} // namespace cartonym
