// host_main.cpp -- the host's start-up: command line, platform, mode, fault guard, exit code.
#include "shell/host_main.h"

#include "model/field.h"
#include "text/text.h"
#include "shell/host_state.h"
#include "shell/saver_hooks.h"
#include "shell/saver_window.h"

#include <exception>

static const WORD kConfigureDialogId = 2003;

// PwdChangePasswordA of "MPR.DLL".
typedef DWORD(WINAPI* PwdChangePasswordProc)(LPCSTR provider, HWND parent, DWORD, LPVOID);

const char* SkipProgramName(const char* p) {
    if (*p == '"') {
        do {
            p = CharNextA(p);
        } while (*p != '\0' && *p != '"');
        if (*p == '"') {
            ++p;
        }
    } else if (static_cast<unsigned char>(*p) > 0x20) {
        while (static_cast<unsigned char>(*p) > 0x20) {
            p = CharNextA(p);
        }
    }
    while (*p != '\0' && static_cast<unsigned char>(*p) <= 0x20) {
        p = CharNextA(p);
    }
    return p;
}

void SaverEntry() {
    const char* tail = SkipProgramName(GetCommandLineA());
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = 0;
    GetStartupInfoA(&startup);
    const int show =
        (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
    ExitProcess(static_cast<UINT>(
        SaverMain(GetModuleHandleA(nullptr), nullptr, const_cast<char*>(tail), show)));
}

DWORD ParseHandleNumber(const char* text) {
    uint64_t value = 0;
    bool overflow = false;
    ScanDigits(text, 10, &value, &overflow);
    return static_cast<DWORD>(value); // 2^32 divides 2^64: the number modulo 2^32
}

static HWND AsWindow(DWORD number) {
    return reinterpret_cast<HWND>(static_cast<UINT_PTR>(number));
}

static INT_PTR RunConfigureDialog(HWND parent) {
    if (!SaverRegisterDialogClasses(g_host.instance)) {
        return 0;
    }
    return DialogBoxParamA(g_host.instance, MAKEINTRESOURCEA(kConfigureDialogId), parent,
                           SaverConfigureDialogProc, 0);
}

static int RunPreview(const char* text) {
    HWND parent = AsWindow(ParseHandleNumber(text));
    if (parent != nullptr && IsWindow(parent)) {
        return RunSaverWindow(parent);
    }
    return -1;
}

static void ChangePassword(HWND parent) {
    HMODULE module = LoadLibraryA("MPR.DLL");
    if (module == nullptr) {
        return;
    }
    const PwdChangePasswordProc change = reinterpret_cast<PwdChangePasswordProc>(
        reinterpret_cast<void*>(GetProcAddress(module, "PwdChangePasswordA")));
    if (change != nullptr) {
        change("SCRSAVE", parent, 0, nullptr);
    }
    FreeLibrary(module);
}

static int RunChangePassword(const char* text) {
    HWND parent = AsWindow(ParseHandleNumber(text));
    if (parent == nullptr || !IsWindow(parent)) {
        parent = GetForegroundWindow();
    }
    ChangePassword(parent);
    return 0;
}

static const char* SkipSpaces(const char* p) {
    while (*p == ' ') {
        ++p;
    }
    return p;
}

// The first byte that is not a separator picks the mode; whatever follows what the mode reads
// is ignored.
static int RunMode(void* argument) {
    for (const char* p = static_cast<const char*>(argument);; ++p) {
        switch (*p) {
        case '\0':
            return static_cast<int>(RunConfigureDialog(nullptr));
        case ' ':
        case '-':
        case '/':
            continue;
        case 'S':
        case 's':
            return RunSaverWindow(nullptr);
        case 'P':
        case 'p':
        case 'L':
        case 'l':
            return RunPreview(SkipSpaces(p + 1));
        case 'C':
        case 'c': {
            HWND parent = p[1] == ':' ? AsWindow(ParseHandleNumber(p + 2)) : nullptr;
            if (parent == nullptr || !IsWindow(parent)) {
                parent = GetForegroundWindow();
            }
            return static_cast<int>(RunConfigureDialog(parent));
        }
        case 'A':
        case 'a':
            if (g_host.isWin9x) {
                return RunChangePassword(SkipSpaces(p + 1));
            }
            return -1;
        default:
            return -1;
        }
    }
}

// Windows 95 and NT 4 do not keep the SSE registers across task switches, whatever the processor
// has, so the vector field paths wait for the system's word that they are safe.
static bool SystemKeepsSseRegisters() {
    typedef BOOL(WINAPI * IsProcessorFeaturePresentProc)(DWORD feature);
    const IsProcessorFeaturePresentProc present =
        reinterpret_cast<IsProcessorFeaturePresentProc>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA("KERNEL32.DLL"), "IsProcessorFeaturePresent")));
    return present != nullptr && present(PF_XMMI64_INSTRUCTIONS_AVAILABLE);
}

int SaverMain(HINSTANCE instance, HINSTANCE, char* commandLine, int) {
    g_host.instance = instance;
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version; // 148
    g_host.isWin9x =
        GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS ? 1 : 0;
    if (!SystemKeepsSseRegisters()) {
        SelectFieldPath(FieldPath::kPlain);
    }
    return RunGuarded(RunMode, commandLine);
}

static LPTOP_LEVEL_EXCEPTION_FILTER g_previousFilter;

// The system decides what becomes of a fault (a debugger, a report); when it leaves the fault to
// the saver, the saver ends. Either way the system must not be left believing a screen saver is
// running: on Windows 9x that keeps Ctrl+Alt+Del switched off.
static LONG WINAPI GuardFilter(EXCEPTION_POINTERS* fault) {
    // The system's filter calls the installed one: put the previous one back first.
    SetUnhandledExceptionFilter(g_previousFilter);
    const LONG verdict = UnhandledExceptionFilter(fault);
    if (verdict == EXCEPTION_CONTINUE_EXECUTION) {
        SetUnhandledExceptionFilter(GuardFilter);
        return verdict;
    }
    SetScreenSaverRunning(FALSE);
    if (verdict == EXCEPTION_EXECUTE_HANDLER) {
        ExitProcess(static_cast<UINT>(kFaultExitCode));
    }
    return verdict;
}

// std::terminate is where a C++ exception ends that could not unwind (through the system's frames
// around a window procedure, say): a fault like the others.
[[noreturn]] static void TerminateAsFault() {
    SetScreenSaverRunning(FALSE);
    ExitProcess(static_cast<UINT>(kFaultExitCode));
}

int RunGuarded(int (*body)(void*), void* argument) {
    g_previousFilter = SetUnhandledExceptionFilter(GuardFilter);
    const std::terminate_handler previousTerminate = std::set_terminate(TerminateAsFault);
    int result;
    try {
        result = body(argument);
    } catch (...) {
        SetScreenSaverRunning(FALSE);
        result = kFaultExitCode;
    }
    std::set_terminate(previousTerminate);
    SetUnhandledExceptionFilter(g_previousFilter);
    return result;
}
