// SPDX-License-Identifier: GPL-3.0-or-later
// cartonym-cli: the engine without a window, for scripts and servers.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace cartonym {

// Runs the command line args (args[0] is the program name) and returns the
// exit status: 0 success, 1 a file or the run failed, 2 usage or missing
// database. stderr_is_terminal turns the batch progress indicator on.
int run_cli(
    const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool stderr_is_terminal = false);

} // namespace cartonym
