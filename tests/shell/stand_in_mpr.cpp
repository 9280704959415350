// stand_in_mpr.cpp -- a stand-in "MPR.DLL" for the tests: every call of PwdChangePasswordA appends
// its four arguments (provider, window handle, two numbers) as one line to mpr_calls.txt beside it.
#include "stand_in_support.h"

extern "C" __declspec(dllexport) DWORD WINAPI
    PwdChangePasswordA(LPCSTR provider, HWND window, DWORD flags, LPVOID reserved) {
    char path[MAX_PATH];
    FileBesideModule(path, sizeof path, "mpr_calls.txt");
    if (FILE* log = std::fopen(path, "a")) {
        std::fprintf(log, "%s %lu %lu %lu\n", provider != nullptr ? provider : "(null)",
                     static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(window)),
                     static_cast<unsigned long>(flags),
                     static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(reserved)));
        std::fclose(log);
    }
    return 0;
}
