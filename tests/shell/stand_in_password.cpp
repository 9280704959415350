// stand_in_password.cpp -- a stand-in "PASSWORD.CPL" for the tests. Its verdict is the number in
// verdict.txt beside it (1 when there is none); every call appends the window handle to
// calls.txt beside it. While "asking" it keeps the caller's messages flowing for a moment, as a
// real password dialog's loop would.
#include "stand_in_support.h"

extern "C" __declspec(dllexport) BOOL WINAPI VERIFY_ENTRY(HWND window) {
    char path[MAX_PATH];
    FileBesideModule(path, sizeof path, "calls.txt");
    if (FILE* log = std::fopen(path, "a")) {
        std::fprintf(log, "%lu\n", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(window)));
        std::fclose(log);
    }
    // One message at a time: a slow frame finds the next timer message already due.
    const DWORD until = GetTickCount() + 100;
    while (GetTickCount() < until) {
        MSG m;
        if (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        } else {
            Sleep(5);
        }
    }
    int verdict = 1;
    FileBesideModule(path, sizeof path, "verdict.txt");
    if (FILE* in = std::fopen(path, "r")) {
        if (std::fscanf(in, "%d", &verdict) != 1) {
            verdict = 1;
        }
        std::fclose(in);
    }
    return verdict;
}
