// SPDX-License-Identifier: GPL-3.0-or-later
// Archives built in memory with libarchive's writer, for the tests.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace cartonym::test {

enum class ArchiveFormat { zip_deflated, zip_stored, zip_encrypted, seven_zip, gzip, tar_gzip };

// The archive's bytes: each entry a regular file of that name and content;
// options as libarchive's writer takes them ("compression=ppmd").
std::string make_archive(ArchiveFormat format, const std::vector<std::pair<std::string, std::string>>& entries,
    const std::string& options = "");

// A stored zip of one text whose own bytes hold a header site that passes
// the pair test: an image when read raw.
std::string zip_passing_the_raw_test();

} // namespace cartonym::test
