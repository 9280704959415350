// host_main.h -- the process entry, the command line and the saver's modes.
#pragma once

#include <windows.h>

// The exit code after a fault that the system let the saver handle.
constexpr int kFaultExitCode = -2;

// The process entry once the runtime has started: never returns.
void SaverEntry();
// The command line without the program name (the part SaverEntry skips), and the separators
// after it.
const char* SkipProgramName(const char* commandLine);
int SaverMain(HINSTANCE instance, HINSTANCE previousInstance, char* commandLine, int showCommand);
// Decimal digits from the start of text, wrapping modulo 2^32; 0 without a leading digit.
DWORD ParseHandleNumber(const char* text);
// Runs body(argument) with the fault guard around it: a fault that the system lets the saver
// handle, or std::terminate, clears the screen-saver-running state and ends the process with
// kFaultExitCode; a C++ exception out of body clears it too and gives kFaultExitCode.
int RunGuarded(int (*body)(void* argument), void* argument);
