#include <unistd.h>

#include <iostream>

#include "cli/cli_program.h"
#include "engine/sys/stderr_log.h"

int main(int argc, char** argv) {
    const StderrLog log("hubsift-cli");
    std::ios::sync_with_stdio(false);
    return RunCli(std::vector<std::string>(argv + 1, argv + argc), {std::cout, std::cerr, isatty(STDERR_FILENO) == 1});
}
