// host_fixture.h -- a saver window driven in-process through the host's class procedure.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include "host_window_class.h"
#include "recording_hooks.h"
#include "shell/default_proc.h"
#include "shell/host_state.h"

// What the preview's parent was sent: the last WM_HELP.
struct ParentRecord {
    int helpCount;
    WPARAM helpWParam;
    LPARAM helpLParam;
};
inline ParentRecord g_parent;

inline LRESULT CALLBACK RecordingParentProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_HELP) {
        ++g_parent.helpCount;
        g_parent.helpWParam = wParam;
        g_parent.helpLParam = lParam;
        return 1;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

class HostTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetHostState();
        ResetHooks();
        g_parent = ParentRecord{};
        g_host.instance = GetModuleHandleA(nullptr);
        RegisterClasses();
        SetCursorPos(200, 200);
    }

    void TearDown() override {
        if (window_ != nullptr && IsWindow(window_)) {
            DestroyWindow(window_);
        }
        if (parent_ != nullptr && IsWindow(parent_)) {
            DestroyWindow(parent_);
        }
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        }
    }

    // A full-screen saver window, not shown: showing one would take activation from the tests.
    HWND OpenFullScreen() {
        window_ = CreateWindowExA(WS_EX_TOPMOST, "RippleFieldHostTest", "Screen Saver", WS_POPUP, 0,
                                  0, 320, 200, nullptr, nullptr, g_host.instance, nullptr);
        g_host.saverWindow = window_;
        return window_;
    }

    // A preview window inside a parent of the test's own.
    HWND OpenPreview() {
        parent_ =
            CreateWindowExA(0, "RippleFieldHostParent", "Display settings", WS_OVERLAPPEDWINDOW, 0,
                            0, 300, 260, nullptr, nullptr, g_host.instance, nullptr);
        g_host.isPreview = 1;
        window_ = CreateWindowExA(0, "RippleFieldHostTest", "Preview", WS_CHILD, 0, 0, 152, 112,
                                  parent_, nullptr, g_host.instance, nullptr);
        g_host.saverWindow = window_;
        return window_;
    }

    LRESULT Send(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) {
        return SendMessageA(window_, msg, wParam, lParam);
    }

    // Takes a posted close out of the queue, reporting whether there was one.
    bool ClosePosted() {
        MSG m;
        bool posted = false;
        while (PeekMessageA(&m, window_, WM_CLOSE, WM_CLOSE, PM_REMOVE)) {
            posted = true;
        }
        return posted;
    }

    bool QuitPosted() {
        MSG m;
        return PeekMessageA(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
    }

    HWND window_ = nullptr;
    HWND parent_ = nullptr;

  private:
    static void RegisterClasses() {
        static bool registered = false;
        if (registered) {
            return;
        }
        RegisterHostWindowClass("RippleFieldHostTest");
        WNDCLASSA wc = {};
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpfnWndProc = RecordingParentProc;
        wc.lpszClassName = "RippleFieldHostParent";
        RegisterClassA(&wc);
        registered = true;
    }
};
