// SPDX-License-Identifier: GPL-3.0-or-later
// The parts of common/folders.h that every platform shares, built on the
// calls each platform's implementation file makes.
#include "common/folders.h"

namespace cartonym {

void rename_replacing(const std::string& source, const std::string& target)
{
    rename_over(source, target, SystemOperation::move, target).raise_if_failed();
}

void make_folder(const std::string& path) { make_folder(path, no_throw).raise_if_failed(); }

void remove_empty_folder(const std::string& path) { remove_empty_folder(path, no_throw).raise_if_failed(); }

} // namespace cartonym
