// SPDX-License-Identifier: GPL-3.0-or-later
// The seam: every call behind the fault hook, interrupted calls made again,
// close never made again, one error convention.
#include "common/error.h"
#include "common/system_calls.h"
#include "tests/testsupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <map>

using namespace cartonym;

namespace {

// A hook that answers EINTR to the first `times` calls of one operation and
// counts every call it sees.
struct Interruptions {
    SystemOperation operation;
    int times;
    std::map<SystemOperation, int> seen;
    FaultHook hook()
    {
        return [this](SystemOperation asked, const std::string&) {
            return ++seen[asked] <= times && asked == operation ? EINTR : 0;
        };
    }
};

bool is_open_descriptor(int fd) { return fcntl(fd, F_GETFD) != -1; }

} // namespace

TEST(Seam, AnInterruptedCallIsMadeAgainUntilItIsThrough)
{
    test::TempFolder t;
    fixtures::write_file(t / "file", "abc");
    const std::string folder = t / "made";
    const struct {
        SystemOperation operation;
        std::function<void()> call;
    } cases[] = {
        {SystemOperation::open, [&] { open_file(t / "file", OpenMode::read); }},
        {SystemOperation::read,
            [&] {
                unsigned char bytes[3] = {};
                const ReadableFile file(t / "file");
                file.read_at(0, bytes, 3);
                EXPECT_EQ(bytes[2], 'c');
            }},
        {SystemOperation::examine, [&] { EXPECT_EQ(identity_of(t / "file").size, 3u); }},
        {SystemOperation::create_folder, [&] { make_folder(folder); }},
        {SystemOperation::list, [&] { Directory(t.path().string()).next(); }},
    };
    for (const auto& case_ : cases) {
        Interruptions interruptions{case_.operation, 3, {}};
        const test::ScopedFaultHook hook(interruptions.hook());
        EXPECT_NO_THROW(case_.call()) << static_cast<int>(case_.operation);
        EXPECT_GE(interruptions.seen[case_.operation], 4) << static_cast<int>(case_.operation);
    }
}

TEST(Seam, CloseIsNeverMadeAgainAndFolderStreamsAskTheHook)
{
    test::TempFolder t;
    fixtures::write_file(t / "file", "abc");
    for (const int errnum : {EINTR, EIO}) {
        FileDescriptor file = open_file(t / "file", OpenMode::read);
        const int fd = static_cast<int>(file.get());
        int closes = 0;
        const test::ScopedFaultHook hook([&](SystemOperation asked, const std::string&) {
            return asked == SystemOperation::close && ++closes == 1 ? errnum : 0;
        });
        if (errnum == EINTR)
            EXPECT_NO_THROW(file.close()) << "after EINTR the descriptor is closed: nothing to report";
        else
            EXPECT_EQ(test::error_number_of([&] { file.close(); }), 57);
        EXPECT_EQ(closes, 1) << errnum;
        EXPECT_FALSE(is_open_descriptor(fd)) << errnum;
    }
    // Folder streams read and close behind the hook as well.
    std::map<SystemOperation, int> seen;
    {
        const test::ScopedFaultHook hook([&](SystemOperation asked, const std::string&) {
            return ++seen[asked] == 2 && asked == SystemOperation::list ? EIO : 0;
        });
        Directory folder(t.path().string());
        EXPECT_EQ(test::error_number_of([&] { folder.next(); }), 57) << "the first entry is the hook's second List";
    }
    EXPECT_EQ(seen[SystemOperation::close], 1) << "closing the stream asks the hook";
}

TEST(Seam, ErrorsKeepThePlatformsNumberAndTheTwinsReturnTheOutcome)
{
    test::TempFolder t;
    const std::string missing = t / "missing";
    try {
        remove_name(missing);
        ADD_FAILURE() << "no error";
    } catch (const SystemError& error) {
        EXPECT_EQ(error.value(), 53);
        EXPECT_EQ(error.platform_number(), ENOENT);
        EXPECT_EQ(error.outcome(), SystemOutcome::missing);
    }
    EXPECT_EQ(status_of(missing, Links::followed, no_throw).result.platform_number, ENOENT);
    EXPECT_EQ(remove_name(missing, no_throw).outcome, SystemOutcome::missing);
    EXPECT_EQ(make_folder(t / "a/b", no_throw).number, ErrorNumber::file_not_found);
    EXPECT_EQ(remove_empty_folder(missing, no_throw).outcome, SystemOutcome::missing);
    fixtures::write_file(t / "file", "abc");
    EXPECT_EQ(make_folder(t / "file", no_throw).outcome, SystemOutcome::exists);
    EXPECT_EQ(remove_empty_folder(t / "file", no_throw).outcome, SystemOutcome::not_a_folder);
    EXPECT_EQ(entry_kind(missing), EntryKind::missing);
    EXPECT_EQ(entry_kind(missing + "/below"), EntryKind::missing);
    const test::ScopedFaultHook hook(test::fail_on(SystemOperation::examine, EACCES));
    EXPECT_EQ(test::error_number_of([&] { entry_kind(missing); }), 70) << "a failure is no missing entry";
    EXPECT_EQ(test::error_number_of([&] { status_of(missing, Links::not_followed); }), 70);
}
