// kwin_screenshot_dbus.cpp -- a test helper: KWin's picture of one output at its physical size,
// through its ScreenShot2 interface on the session bus, as 32-bit pixels (0xAARRGGBB, native
// order) in a file; it prints "WIDTH HEIGHT STRIDE". KWin answers only programs that a desktop
// file grants the interface, which the tests' fixture writes.
#include <systemd/sd-bus.h>

#include <cstdio>
#include <cstring>

#include <unistd.h>

namespace {

// Reads the reply's a{sv} for the numbers wanted; the others are passed over.
bool ReadGeometry(sd_bus_message* reply, uint32_t* width, uint32_t* height, uint32_t* stride,
                  uint32_t* format) {
    if (sd_bus_message_enter_container(reply, 'a', "{sv}") < 0) {
        return false;
    }
    while (sd_bus_message_enter_container(reply, 'e', "sv") > 0) {
        const char* key = nullptr;
        sd_bus_message_read(reply, "s", &key);
        uint32_t* into = std::strcmp(key, "width") == 0    ? width
                         : std::strcmp(key, "height") == 0 ? height
                         : std::strcmp(key, "stride") == 0 ? stride
                         : std::strcmp(key, "format") == 0 ? format
                                                           : nullptr;
        if (into != nullptr) {
            sd_bus_message_read(reply, "v", "u", into);
        } else {
            sd_bus_message_skip(reply, "v");
        }
        sd_bus_message_exit_container(reply);
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: kwin_screenshot OUTPUT FILE\n", stderr);
        return 2;
    }
    sd_bus* bus = nullptr;
    int pipeFds[2];
    if (sd_bus_open_user(&bus) < 0 || pipe(pipeFds) != 0) {
        std::fputs("kwin_screenshot: no session bus\n", stderr);
        return 1;
    }
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    if (sd_bus_call_method(bus, "org.kde.KWin", "/org/kde/KWin/ScreenShot2",
                           "org.kde.KWin.ScreenShot2", "CaptureScreen", &error, &reply, "sa{sv}h",
                           argv[1], 1, "native-resolution", "b", 1, pipeFds[1]) < 0) {
        std::fprintf(stderr, "kwin_screenshot: %s\n", error.message ? error.message : "failed");
        return 1;
    }
    close(pipeFds[1]);
    FILE* out = std::fopen(argv[2], "wb");
    char buffer[65536];
    for (ssize_t n; out != nullptr && (n = read(pipeFds[0], buffer, sizeof buffer)) > 0;) {
        std::fwrite(buffer, 1, static_cast<size_t>(n), out);
    }
    uint32_t width = 0, height = 0, stride = 0, format = 0;
    // QImage's RGB32, ARGB32 and ARGB32_Premultiplied: all 0xAARRGGBB words.
    if (out == nullptr || std::fclose(out) != 0 ||
        !ReadGeometry(reply, &width, &height, &stride, &format) || format < 4 || format > 6) {
        std::fputs("kwin_screenshot: no picture in a format known here\n", stderr);
        return 1;
    }
    std::printf("%u %u %u\n", width, height, stride);
    sd_bus_message_unref(reply);
    sd_bus_flush_close_unref(bus);
    return 0;
}
