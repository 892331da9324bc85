// SPDX-License-Identifier: GPL-3.0-or-later
// cartonym-cli run in process through run_cli, with its lines of JSON.
#pragma once
#include "cli/cli.h"

#include <nlohmann/json.hpp>

#include <sstream>
#include <string>
#include <vector>

namespace cartonym::test {

inline std::vector<nlohmann::json> json_lines(const std::string& text)
{
    std::vector<nlohmann::json> lines;
    std::istringstream input(text);
    for (std::string line; std::getline(input, line);)
        lines.push_back(nlohmann::json::parse(line));
    return lines;
}

struct CliRun {
    int status;
    std::string out, err;
    std::vector<nlohmann::json> lines; // stdout, one JSON object a line
};

inline CliRun Cli(std::vector<std::string> args)
{
    args.insert(args.begin(), "cartonym-cli");
    std::ostringstream out, err;
    const int status = run_cli(args, out, err);
    return {status, out.str(), err.str(),
        out.str().starts_with('{') ? json_lines(out.str()) : std::vector<nlohmann::json>{}};
}

} // namespace cartonym::test
