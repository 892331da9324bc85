// Paths and whole files as the journal of a run needs them.
#pragma once

#include <string>
#include <string_view>

namespace cartonym {

// The folder part of a path: "." for a bare name, "/" for an entry of the root.
std::string parent_folder(const std::string& path);

// Creates path and every missing folder above it; an existing folder is
// fine. Throws Error.
void create_missing_folders(const std::string& path);

// The whole content of a regular file; throws Error.
std::string whole_file(const std::string& path);

// Writes content into a new file at path (access rights 0600), never
// replacing: written under a private name in the same folder
// (.cartonym-copy-<process id>-...), flushed and renamed into place.
// Throws Error (58 when path exists); the private file stays only when the
// process is killed meanwhile.
void place_new_file(const std::string& path, std::string_view content);

// path with every link of its existing part resolved, the missing rest
// appended as it is; throws Error.
std::string resolved_as_far_as_it_exists(const std::string& path);

} // namespace cartonym
