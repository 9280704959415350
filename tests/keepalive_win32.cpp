// keepalive_win32.cpp -- holds a Wine session open while the tests run, so that each test program
// starts without bringing Wine's own services and desktop up again.
#include <windows.h>

int main() {
    // A window, though never shown, keeps the desktop process alive too.
    CreateWindowA("STATIC", "keepalive", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    MSG m;
    while (GetMessageA(&m, nullptr, 0, 0) > 0) {
        DispatchMessageA(&m);
    }
}
