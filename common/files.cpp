// SPDX-License-Identifier: GPL-3.0-or-later
// The parts of common/files.h that every platform shares, built on the
// calls each platform's implementation file makes.
#include "common/files.h"

#include <cstring>

namespace cartonym {
namespace {

bool names_nothing(const SystemResult& result)
{
    return result.is(SystemOutcome::missing) || result.is(SystemOutcome::not_a_folder);
}

} // namespace

FileDescriptor::~FileDescriptor() { discard(); }

FileDescriptor::FileDescriptor(FileDescriptor&& other) noexcept
    : handle_(other.handle_)
    , path_(std::move(other.path_))
{
    other.handle_ = none;
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept
{
    if (this != &other) {
        discard();
        handle_ = other.handle_;
        path_ = std::move(other.path_);
        other.handle_ = none;
    }
    return *this;
}

void FileDescriptor::close()
{
    if (handle_ == none)
        return;
    const NativeHandle handle = handle_;
    handle_ = none;
    // Never repeated: after an interruption the handle is closed all the same.
    if (const SystemResult closed = close_once(path_, handle); !closed.is(SystemOutcome::interrupted))
        closed.raise_if_failed();
}

void FileDescriptor::discard() noexcept
{
    if (handle_ != none)
        close_once(path_, handle_);
    handle_ = none;
}

EntryStatus status_of(const std::string& path, Links links)
{
    const StatusResult looked = status_of(path, links, no_throw);
    looked.result.raise_if_failed();
    return looked.status;
}

std::optional<EntryStatus> entry_status(const std::string& path, Links links)
{
    const StatusResult looked = status_of(path, links, no_throw);
    if (names_nothing(looked.result))
        return std::nullopt;
    looked.result.raise_if_failed();
    return looked.status;
}

FileIdentity identity_of(const std::string& path) { return status_of(path, Links::followed).identity; }

EntryKind entry_kind(const std::string& path)
{
    const auto status = entry_status(path);
    return status ? status->kind : EntryKind::missing;
}

bool entry_exists(const std::string& path) { return entry_kind(path) != EntryKind::missing; }

void remove_name(const std::string& path) { remove_name(path, no_throw).raise_if_failed(); }

void ReadableFile::read_at(std::uint64_t offset, unsigned char* target, std::size_t count) const
{
    std::memset(target, 0, count);
    std::size_t done = 0;
    while (done < count) {
        const std::size_t n = cartonym::read_at(file_, offset + done, target + done, count - done);
        if (n == 0)
            break; // end of file: the rest stays 0
        done += n;
    }
}

} // namespace cartonym
