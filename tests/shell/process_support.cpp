// process_support.cpp -- child processes, and the registry settings they read, for the tests.
#include "process_support.h"

#include <gtest/gtest.h>

#include <vector>

std::string ProgramFolder() {
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder(path, n);
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

bool RunProgram(const std::string& commandLine, DWORD timeoutMs, DWORD* exitCode) {
    PROCESS_INFORMATION process;
    if (!StartProgram(commandLine, &process)) {
        return false;
    }
    const bool ended = WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0;
    if (!ended) {
        TerminateProcess(process.hProcess, 99);
        WaitForSingleObject(process.hProcess, 5000);
    }
    GetExitCodeProcess(process.hProcess, exitCode);
    CloseHandle(process.hProcess);
    return ended;
}

void SetWineVersionFor(const char* programFile, const char* version) {
    const std::string path = std::string("Software\\Wine\\AppDefaults\\") + programFile;
    if (version == nullptr) {
        RegDeleteKeyA(HKEY_CURRENT_USER, path.c_str());
        return;
    }
    HKEY key;
    if (RegCreateKeyA(HKEY_CURRENT_USER, path.c_str(), &key) == ERROR_SUCCESS) {
        RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                       static_cast<DWORD>(strlen(version) + 1));
        RegCloseKey(key);
    }
}

bool StartProgram(const std::string& commandLine, PROCESS_INFORMATION* process) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    *process = {};
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, process)) {
        return false;
    }
    CloseHandle(process->hThread);
    process->hThread = nullptr;
    return true;
}

static void PumpPendingMessages() {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
}

void PumpMessagesFor(DWORD ms) {
    const DWORD start = GetTickCount();
    for (DWORD spent = 0; spent < ms; spent = GetTickCount() - start) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - spent, QS_ALLINPUT);
        PumpPendingMessages();
    }
}

bool WaitPumping(HANDLE process, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD spent = GetTickCount() - start;
        const DWORD left = spent < timeoutMs ? timeoutMs - spent : 0;
        const DWORD woke = MsgWaitForMultipleObjects(1, &process, FALSE, left, QS_ALLINPUT);
        if (woke == WAIT_OBJECT_0) {
            return true;
        }
        if (woke != WAIT_OBJECT_0 + 1) {
            return false; // timed out or failed
        }
        PumpPendingMessages();
    }
}

void SetWineDllOverrideFor(const char* programFile, const char* dll, const char* order) {
    const std::string path =
        std::string("Software\\Wine\\AppDefaults\\") + programFile + "\\DllOverrides";
    if (order == nullptr) {
        RegDeleteKeyA(HKEY_CURRENT_USER, path.c_str());
        return;
    }
    HKEY key;
    if (RegCreateKeyA(HKEY_CURRENT_USER, path.c_str(), &key) == ERROR_SUCCESS) {
        RegSetValueExA(key, dll, 0, REG_SZ, reinterpret_cast<const BYTE*>(order),
                       static_cast<DWORD>(strlen(order) + 1));
        RegCloseKey(key);
    }
}

static const char kDesktop[] = "Control Panel\\Desktop";
static const char kUsePassword[] = "ScreenSaveUsePassword";

void SetUsePassword(DWORD type, const void* data, DWORD size) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, kDesktop, &key), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, kUsePassword, 0, type, static_cast<const BYTE*>(data), size),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

void SetUsePassword(DWORD on) {
    SetUsePassword(REG_DWORD, &on, sizeof on);
}

void RemoveUsePassword() {
    HKEY key;
    if (RegOpenKeyA(HKEY_CURRENT_USER, kDesktop, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, kUsePassword);
        RegCloseKey(key);
    }
}
