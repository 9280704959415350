// fault_child.cpp -- a program whose guarded body faults in the way its command line names; the
// guard test reads its exit code and the screen-saver-running state it leaves ("running" reports
// that state as the exit code).
#include <windows.h>

#include <cstring>
#include <exception>
#include <new>

#include "shell/host_main.h"
#include "shell/host_state.h"

static LRESULT CALLBACK ThrowingWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_APP) {
        throw std::bad_alloc();
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

static int Fault(void* argument) {
    const char* kind = static_cast<const char*>(argument);
    if (std::strcmp(kind, "structured") == 0) {
        RaiseException(0xE0001234u, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    } else if (std::strcmp(kind, "exception") == 0) {
        throw std::bad_alloc();
    } else if (std::strcmp(kind, "terminate") == 0) {
        std::terminate();
    } else if (std::strcmp(kind, "window") == 0) {
        // Thrown inside a window procedure, beneath the system's message dispatch.
        WNDCLASSA wc = {};
        wc.lpfnWndProc = ThrowingWindowProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "RippleFieldFaultChild";
        RegisterClassA(&wc);
        HWND window = CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP, 0, 0, 10, 10, nullptr,
                                      nullptr, wc.hInstance, nullptr);
        SendMessageA(window, WM_APP, 0, 0);
    }
    return 7;
}

int main(int argc, char** argv) {
    const char* kind = argc > 1 ? argv[1] : "";
    if (std::strcmp(kind, "running") == 0) {
        // A process reads the system's value once and keeps it: the test asks a new one.
        BOOL running = FALSE;
        SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &running, 0);
        return running;
    }
    g_host.isWin9x = 1; // so that the running state is set and cleared, as on Windows 9x
    SetScreenSaverRunning(TRUE);
    return RunGuarded(Fault, const_cast<char*>(kind));
}
