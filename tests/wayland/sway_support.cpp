// sway_support.cpp -- swaymsg for the tests.
#include "sway_support.h"

int Swaymsg(const HeadlessSway& sway, const std::string& command, std::string* out) {
    std::vector<std::string> argv = {"swaymsg"};
    if (command[0] != '-') {
        argv.push_back("--"); // "cursor move -4 0" is no option
    }
    const std::vector<std::string> words = Words(command);
    argv.insert(argv.end(), words.begin(), words.end());
    const ProgramRun run = RunProgram(argv, ProgramOptions(SwayEnvironment(sway)));
    if (out != nullptr) {
        *out = run.out;
    }
    return run.exitCode;
}
