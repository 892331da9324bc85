// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli.h"
#include "common/system_calls.h"

#include <iostream>

int main(int argc, char** argv)
{
    std::ios::sync_with_stdio(false);
    cartonym::pass_standard_streams_unchanged();
    const std::vector<std::string> args = cartonym::program_arguments(argc, argv);
    return cartonym::run_cli(args, std::cout, std::cerr, cartonym::is_terminal(cartonym::standard_error));
}
