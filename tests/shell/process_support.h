// process_support.h -- running other Windows programs from a test, and Wine's per-program settings.
#pragma once

#include <windows.h>

#include <string>

// The folder of the running test program, with a trailing backslash.
std::string ProgramFolder();
// Starts a program and waits; false when it could not start or did not end within the time.
bool RunProgram(const std::string& commandLine, DWORD timeoutMs, DWORD* exitCode);
// Makes Wine report a Windows version ("win98", ...) to the program of that file name;
// nullptr removes the setting.
void SetWineVersionFor(const char* programFile, const char* version);
