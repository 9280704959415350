// process_support.h -- child processes, and the registry settings they read, for the tests.
#pragma once

#include <windows.h>

#include <string>

// The folder of the running test program, with a trailing backslash.
std::string ProgramFolder();
// Starts a program and waits; false when it could not start or did not end within the time.
bool RunProgram(const std::string& commandLine, DWORD timeoutMs, DWORD* exitCode);
// Starts a program without waiting; false when it could not start. The caller closes
// process->hProcess; the thread handle is closed already.
bool StartProgram(const std::string& commandLine, PROCESS_INFORMATION* process);
// Handles this thread's window messages for about that long.
void PumpMessagesFor(DWORD ms);
// Waits for a process to end while handling this thread's window messages, as a thread that owns
// windows must (other processes send to them); false when it did not end within the time.
bool WaitPumping(HANDLE process, DWORD timeoutMs);
// Makes Wine report a Windows version ("win98", ...) to the program of that file name;
// nullptr removes the setting.
void SetWineVersionFor(const char* programFile, const char* version);
// Makes Wine load that DLL ("mpr", ...) for the program of that file name in the given order
// ("native,builtin", ...); nullptr removes the program's whole DLL override list.
void SetWineDllOverrideFor(const char* programFile, const char* dll, const char* order);
// Sets the current user's "ScreenSaveUsePassword" under "Control Panel\Desktop" (a REG_DWORD when
// given a number), failing the test when it cannot; RemoveUsePassword takes the value away.
void SetUsePassword(DWORD type, const void* data, DWORD size);
void SetUsePassword(DWORD on);
void RemoveUsePassword();
