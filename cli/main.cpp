// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli.h"
#include "common/system_calls.h"

#include <iostream>

int main(int argc, char** argv)
{
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv, argv + argc);
    return cartonym::run_cli(args, std::cout, std::cerr, cartonym::is_terminal(cartonym::standard_error));
}
