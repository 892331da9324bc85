#include "common/system_calls.h"

#include "common/error.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cartonym {
namespace {

FaultHook& installed_hook()
{
    static FaultHook hook;
    return hook;
}

FileIdentity identity_from_stat(const struct stat& info)
{
    return {static_cast<std::uint64_t>(info.st_dev),       static_cast<std::uint64_t>(info.st_ino),
            static_cast<std::uint64_t>(info.st_size),      static_cast<std::int64_t>(info.st_mtim.tv_sec),
            static_cast<std::int64_t>(info.st_mtim.tv_nsec), static_cast<std::int64_t>(info.st_ctim.tv_sec),
            static_cast<std::int64_t>(info.st_ctim.tv_nsec)};
}

} // namespace

FileIdentity identity_of(const std::string& path)
{
    if (const int error = injected_error(SystemOperation::Open, path))
        throw_errno(error);
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        throw_errno(errno);
    return identity_from_stat(info);
}

FaultHook set_fault_hook(FaultHook hook)
{
    FaultHook old = std::move(installed_hook());
    installed_hook() = std::move(hook);
    return old;
}

int injected_error(SystemOperation operation, const std::string& path)
{
    const auto& hook = installed_hook();
    return hook ? hook(operation, path) : 0;
}

void write_all(int fd, std::string_view data_bytes, const std::string& path)
{
    if (const int error = injected_error(SystemOperation::Write, path))
        throw_errno(error);
    while (!data_bytes.empty()) {
        const ssize_t n = ::write(fd, data_bytes.data(), data_bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw_errno(errno);
        }
        data_bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

std::string program_folder()
{
    std::string path(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
    if (n <= 0)
        return ".";
    path.resize(static_cast<std::size_t>(n));
    const auto cut = path.rfind('/');
    return cut == 0 ? "/" : path.substr(0, cut);
}

ReadableFile::ReadableFile(const std::string& path)
    : path_(path)
{
    if (const int error = injected_error(SystemOperation::Open, path))
        throw_errno(error);
    fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd_ < 0)
        throw_errno(errno);
    struct stat info {};
    if (::fstat(fd_, &info) != 0) {
        const int error = errno;
        ::close(fd_);
        throw_errno(error);
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd_);
        throw Error(ErrorNumber::PathFileAccessError);
    }
    identity_ = identity_from_stat(info);
}

ReadableFile::~ReadableFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

void ReadableFile::read_at(std::uint64_t offset, unsigned char* target, std::size_t count) const
{
    std::memset(target, 0, count);
    if (const int error = injected_error(SystemOperation::Read, path_))
        throw_errno(error);
    std::size_t read_count = 0;
    while (read_count < count) {
        const ssize_t n = ::pread(fd_, target + read_count, count - read_count, static_cast<off_t>(offset + read_count));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw_errno(errno);
        }
        if (n == 0)
            break; // end of file: the rest stays 0
        read_count += static_cast<std::size_t>(n);
    }
}

} // namespace cartonym
