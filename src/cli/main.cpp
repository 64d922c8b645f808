#include <unistd.h>

#include <iostream>

#include "cli/cli_program.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    return RunCli(std::vector<std::string>(argv + 1, argv + argc), {std::cout, std::cerr, isatty(STDERR_FILENO) == 1});
}
