#include "cli/cli.h"

#include <iostream>
#include <unistd.h>

int main(int argc, char** argv)
{
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv, argv + argc);
    return cartonym::run_cli(args, std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1);
}
