// Paths resolved as far as they exist, for a path that is still to be made.
#pragma once

#include <string>

namespace cartonym {

// path with every link of its existing part resolved, the missing rest
// appended as it is; throws Error.
std::string resolved_as_far_as_it_exists(const std::string& path);

} // namespace cartonym
