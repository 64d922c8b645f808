#pragma once

#include <ostream>
#include <string>
#include <vector>

// Where hubsift-cli writes: data to out, messages and progress to err; progress lines only when err is a terminal.
struct CliStreams {
    std::ostream& out;
    std::ostream& err;
    bool errIsTerminal = false;
};

// The whole console program after its name: parses the arguments and runs the command. Returns the exit code:
// 0 done, 1 failed (one line on err), 2 bad arguments (one line on err), 130 interrupted. Main thread, before any
// other thread of the program has started.
int RunCli(const std::vector<std::string>& arguments, const CliStreams& streams);
