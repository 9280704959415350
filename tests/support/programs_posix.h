// programs_posix.h -- programs run from tests as a user runs them, private X servers, and waits.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <sys/types.h>

// The slowest a test lets anything be: the machine may be slow and busy.
constexpr int kPatientMs = 60000;

double SteadyMs();
// Polls the condition every 50 ms until it holds or timeoutMs passes.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs);

struct ProgramOptions {
    // The environment: the test's (none when inherit is false), less the names in unset, plus
    // NAME=VALUE entries in set (of two equal names, the first).
    ProgramOptions(std::vector<std::string> set = {}, std::vector<std::string> unset = {},
                   bool inherit = true)
        : set(std::move(set)), unset(std::move(unset)), inherit(inherit) {}
    std::vector<std::string> set;
    std::vector<std::string> unset;
    bool inherit;
    std::string stderrFile;     // stderr into this file, for a program that says much
    bool captureStdout = false; // else stdout goes to /dev/null
    long long addressSpace = 0; // bytes of address space at most; 0 for no limit
};

struct RunningProgram {
    pid_t pid = -1;
    int stdoutPipe = -1;
    int stderrPipe = -1;
};

// argv[0] is found on PATH unless it has a slash. Its stderr goes to a pipe unless to a file.
RunningProgram StartProgram(const std::vector<std::string>& argv,
                            const ProgramOptions& options = {});
// Waits up to timeoutMs for the program to end; true when it did, with its exit code (128 + the
// signal's number when a signal ended it).
bool WaitForExit(RunningProgram* program, int timeoutMs, int* exitCode);
// Ends a program that is still running (after a failed check) and reaps it.
void KillProgram(RunningProgram* program);
// Sends the signal to a program not yet reaped. Never to pid -1, which for root means every
// process on the machine: a start that failed or a wait that reaped leaves that pid.
void SignalProgram(const RunningProgram& program, int signal);
// What the program wrote on stderr, once it has ended.
std::string ReadStderr(RunningProgram* program);

struct ProgramRun {
    int exitCode = -1; // -1: it had not ended in time and was killed
    std::string out;
    std::string err;
};
// Collects what the program writes until it ends, or kills it after timeoutMs.
ProgramRun FinishProgram(RunningProgram* program, int timeoutMs = kPatientMs);
// StartProgram with stdout captured, then FinishProgram.
ProgramRun RunProgram(const std::vector<std::string>& argv, ProgramOptions options = {});
// The words of a command line split at spaces (for arguments without quotes or spaces in them).
std::vector<std::string> Words(const std::string& text);

// An X server of the test's own on a display that no one else uses.
struct PrivateXServer {
    RunningProgram program;
    std::string display; // ":N"
};

// Starts Xvfb with one screen per entry ("320x240x24"), black root windows, no TCP and the extra
// arguments (e.g. "-extension", "GLX"), and waits until it takes connections.
::testing::AssertionResult StartXvfb(const std::vector<std::string>& screens,
                                     PrivateXServer* server,
                                     const std::vector<std::string>& extra = {});
void StopXvfb(PrivateXServer* server);
