// compositor_support.cpp -- headless compositors as a system user, for the tests.
#include "compositor_support.h"

#include "png_file.h"

#include <png.h>
#include <wayland-client.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// One system user runs them all (named for the first of them, which scripts/ share).
const char kUser[] = "ripplefield-sway";
// The socket of the compositors whose socket name can be chosen; it is private to the directory.
const char kSocket[] = "wayland-1";

// The entry of the directory whose name starts so, is not a lock file and is not other.
std::string FindSocket(const std::string& dir, const std::string& prefix,
                       const std::string& other = "") {
    std::string found;
    if (DIR* d = opendir(dir.c_str())) {
        while (const dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name.rfind(prefix, 0) == 0 && name.find(".lock") == std::string::npos &&
                name != other) {
                found = name;
            }
        }
        closedir(d);
    }
    return found;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void OnGlobal(void* data, wl_registry*, uint32_t, const char* interface, uint32_t) {
    *static_cast<bool*>(data) |= std::strcmp(interface, wl_output_interface.name) == 0;
}

void OnGlobalRemove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener kRegistryListener = {OnGlobal, OnGlobalRemove};

// Whether a client can connect and is told of an output.
bool ShowsAnOutput(const std::string& socketPath) {
    wl_display* display = wl_display_connect(socketPath.c_str());
    if (display == nullptr) {
        return false;
    }
    bool output = false;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kRegistryListener, &output);
    wl_display_roundtrip(display);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return output;
}

// A session bus that also takes the tests' connections, which come from root.
void WriteBusConfig(const std::string& path) {
    std::ofstream(path) << "<busconfig>\n"
                           "  <include>/usr/share/dbus-1/session.conf</include>\n"
                           "  <policy context=\"default\"><allow user=\"root\"/></policy>\n"
                           "</busconfig>\n";
}

// argv under dbus-run-session, with the bus's address written where the tests find it.
std::vector<std::string> UnderSessionBus(const std::string& dir, std::vector<std::string> argv) {
    WriteBusConfig(dir + "/bus.conf");
    std::vector<std::string> wrapped = {
        "dbus-run-session",
        "--config-file=" + dir + "/bus.conf",
        "--",
        "sh",
        "-c",
        "printf %s \"$DBUS_SESSION_BUS_ADDRESS\" >\"$XDG_RUNTIME_DIR/bus-address\" && "
        "exec \"$@\"",
        "sh"};
    wrapped.insert(wrapped.end(), argv.begin(), argv.end());
    return wrapped;
}

} // namespace

const char* CompositorName(CompositorKind kind) {
    switch (kind) {
    case CompositorKind::kSway:
        return "sway";
    case CompositorKind::kKwin:
        return "kwin_wayland";
    case CompositorKind::kMutter:
        return "mutter";
    case CompositorKind::kWeston:
        return "weston";
    }
    return "?";
}

::testing::AssertionResult StartCompositor(HeadlessCompositor* compositor, CompositorKind kind,
                                           const CompositorOptions& options,
                                           const HeadlessCompositor* parent) {
    if (getpwnam(kUser) == nullptr) {
        RunProgram({"/usr/sbin/useradd", "--system", "--no-create-home", "--home-dir",
                    "/nonexistent", "--shell", "/usr/sbin/nologin", kUser});
    }
    const passwd* user = getpwnam(kUser);
    if (user == nullptr) {
        return ::testing::AssertionFailure() << "cannot make the system user " << kUser;
    }
    compositor->kind = kind;
    const std::string name = CompositorName(kind);
    std::string dir = "/tmp/ripplefield-" + name + "-XXXXXX";
    if (parent != nullptr) {
        compositor->runtimeDir = parent->runtimeDir; // the nested one's sockets beside the parent's
        compositor->nested = true;
    } else if (mkdtemp(&dir[0]) == nullptr || chown(dir.c_str(), user->pw_uid, user->pw_gid) != 0) {
        return ::testing::AssertionFailure() << "cannot make a runtime directory";
    } else {
        compositor->runtimeDir = dir;
    }
    dir = compositor->runtimeDir;
    const std::string size = std::to_string(options.width) + "x" + std::to_string(options.height);
    std::vector<std::string> env = {"HOME=" + dir, "XDG_RUNTIME_DIR=" + dir, "PATH=/usr/bin:/bin"};
    std::vector<std::string> argv;
    switch (kind) {
    case CompositorKind::kSway:
        if (parent == nullptr) {
            std::ofstream(dir + "/config") << "xwayland disable\n";
        }
        env.insert(env.end(), {"WLR_RENDERER=pixman", "WLR_LIBINPUT_NO_DEVICES=1",
                               parent ? "WLR_BACKENDS=wayland" : "WLR_BACKENDS=headless",
                               "WAYLAND_DISPLAY=" + (parent ? parent->socket : "")});
        argv = {"sway", "-c", dir + "/config"}; // its first output is 1280x720 whatever the size
        break;
    case CompositorKind::kKwin: {
        // Debian's binary carries file capabilities that a container refuses to exec; a copy
        // carries none, and keeps the name, which kwin goes by.
        mkdir((dir + "/kwin").c_str(), 0755);
        RunProgram({"/bin/cp", "/usr/bin/kwin_wayland", dir + "/kwin/kwin_wayland"});
        std::ostringstream scale;
        scale << options.scale;
        env.push_back("KWIN_WAYLAND_NO_PERMISSION_CHECKS=1"); // its fake input, for its user
        argv = UnderSessionBus(
            dir, {dir + "/kwin/kwin_wayland", "--virtual", "--width", std::to_string(options.width),
                  "--height", std::to_string(options.height), "--scale", scale.str(), "--socket",
                  kSocket, "--no-lockscreen", "--no-global-shortcuts", "--no-kactivities"});
        break;
    }
    case CompositorKind::kMutter:
        // ResetIdletime is for tests only, and only with this variable.
        env.insert(env.end(), {"MUTTER_DEBUG_RESET_IDLETIME=1", "GSETTINGS_BACKEND=memory"});
        argv = UnderSessionBus(dir, {"mutter", "--headless", "--wayland", "--no-x11",
                                     "--virtual-monitor", size, "--wayland-display", kSocket});
        break;
    case CompositorKind::kWeston: // --debug: for its screenshooter
        argv = {"weston",
                "--backend=headless-backend.so",
                "--use-pixman",
                "--socket=" + std::string(kSocket),
                "--width=" + std::to_string(options.width),
                "--height=" + std::to_string(options.height),
                "--idle-time=0",
                "--no-config",
                "--debug"};
        break;
    }
    ProgramOptions programOptions(env, {}, false);
    programOptions.stderrFile = dir + "/" + name + (parent ? "-nested" : "") + ".log";
    // A session and process group of its own, so that stopping it reaches its bus and helpers.
    argv.insert(argv.begin(),
                {"/usr/bin/setsid", "/usr/bin/setpriv", "--reuid=" + std::to_string(user->pw_uid),
                 "--regid=" + std::to_string(user->pw_gid), "--clear-groups"});
    compositor->program = StartProgram(argv, programOptions);
    const std::string ipc =
        "sway-ipc." + std::to_string(user->pw_uid) + "." + std::to_string(compositor->program.pid);
    const bool bus = kind == CompositorKind::kKwin || kind == CompositorKind::kMutter;
    const bool up = WaitUntil(
        [&] {
            compositor->socket = kind == CompositorKind::kSway
                                     ? FindSocket(dir, "wayland-", parent ? parent->socket : "")
                                     : FindSocket(dir, kSocket);
            if (kind == CompositorKind::kSway) {
                compositor->ipc = FindSocket(dir, ipc);
                if (compositor->ipc.empty()) {
                    return false;
                }
                compositor->ipc = dir + "/" + compositor->ipc;
            }
            if (bus) {
                compositor->bus = ReadFile(dir + "/bus-address");
            }
            return !compositor->socket.empty() && (!bus || !compositor->bus.empty()) &&
                   ShowsAnOutput(dir + "/" + compositor->socket);
        },
        kPatientMs);
    if (!up) {
        const std::string log = ReadFile(programOptions.stderrFile);
        StopCompositor(compositor);
        return ::testing::AssertionFailure()
               << name << " did not start (is it installed?); its log:\n"
               << log;
    }
    return ::testing::AssertionSuccess();
}

void StopCompositor(HeadlessCompositor* compositor) {
    const pid_t group = compositor->program.pid;
    if (group > 0) {
        kill(-group, SIGTERM);
        int code = 0;
        if (!WaitForExit(&compositor->program, 10000, &code)) {
            KillProgram(&compositor->program);
        }
        // Whatever of its group outlived it (its bus, weston's helpers); the group's number
        // is not given to anyone else while a member is left.
        kill(-group, SIGKILL);
    }
    if (!compositor->runtimeDir.empty() && !compositor->nested) {
        RunProgram({"/bin/rm", "-rf", compositor->runtimeDir});
    }
    compositor->runtimeDir.clear();
}

std::vector<std::string> CompositorEnvironment(const HeadlessCompositor& compositor) {
    std::vector<std::string> env = {"XDG_RUNTIME_DIR=" + compositor.runtimeDir,
                                    "WAYLAND_DISPLAY=" + compositor.socket};
    if (!compositor.ipc.empty()) {
        env.push_back("SWAYSOCK=" + compositor.ipc);
    }
    if (!compositor.bus.empty()) {
        env.push_back("DBUS_SESSION_BUS_ADDRESS=" + compositor.bus);
    }
    return env;
}

namespace {

// An 8-bit PNG of any layout as RGB rows, its alpha (if any) passed over as a display does.
std::vector<unsigned char> ReadPngIgnoringAlpha(const std::string& path, int* width, int* height) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        return {};
    }
    image.format = PNG_FORMAT_RGBA;
    std::vector<unsigned char> rgba(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) {
        return {};
    }
    *width = static_cast<int>(image.width);
    *height = static_cast<int>(image.height);
    std::vector<unsigned char> rgb;
    rgb.reserve(rgba.size() / 4 * 3);
    for (size_t i = 0; i < rgba.size(); i += 4) {
        rgb.insert(rgb.end(), {rgba[i], rgba[i + 1], rgba[i + 2]});
    }
    return rgb;
}

std::vector<unsigned char> CaptureWeston(const HeadlessCompositor& weston, int* width,
                                         int* height) {
    const std::string dir = weston.runtimeDir + "/screenshots";
    RunProgram({"/bin/rm", "-rf", dir});
    mkdir(dir.c_str(), 0700);
    // It names the file for the time and writes it where it runs.
    RunProgram({"sh", "-c", "cd \"$1\" && exec weston-screenshooter", "sh", dir},
               ProgramOptions(CompositorEnvironment(weston)));
    const std::string file = FindSocket(dir, "wayland-screenshot-");
    return file.empty() ? std::vector<unsigned char>()
                        : ReadPngIgnoringAlpha(dir + "/" + file, width, height);
}

// KWin grants ScreenShot2 to a program whose desktop file (found through the caller's
// executable, so the helper runs from a copy of the user's) names the interface.
std::vector<unsigned char> CaptureKwin(const HeadlessCompositor& kwin, const std::string& output,
                                       int* width, int* height) {
    const std::string dir = kwin.runtimeDir;
    const std::string helper = dir + "/kwin/kwin_screenshot";
    const std::string applications = dir + "/.local/share/applications";
    if (RunProgram({"/bin/cp", RIPPLEFIELD_KWIN_SCREENSHOT, helper}).exitCode != 0 ||
        RunProgram({"/bin/mkdir", "-p", applications}).exitCode != 0) {
        return {};
    }
    std::ofstream(applications + "/ripplefield-kwin-screenshot.desktop")
        << "[Desktop Entry]\nType=Application\nName=kwin_screenshot\nNoDisplay=true\nExec="
        << helper << "\nX-KDE-DBUS-Restricted-Interfaces=org.kde.KWin.ScreenShot2\n";
    RunProgram({"/bin/chown", "-R", kUser, dir + "/.local"});
    const std::string raw = dir + "/screenshot.raw";
    const ProgramRun run = RunAsCompositorUser(kwin, {helper, output, raw});
    std::istringstream said(run.out);
    int stride = 0;
    const std::string pixels = ReadFile(raw);
    if (run.exitCode != 0 || !(said >> *width >> *height >> stride) ||
        pixels.size() < static_cast<size_t>(stride) * *height) {
        return {};
    }
    std::vector<unsigned char> rgb;
    rgb.reserve(static_cast<size_t>(*width) * *height * 3);
    for (int y = 0; y < *height; ++y) {
        for (int x = 0; x < *width; ++x) {
            const char* p = &pixels[static_cast<size_t>(y) * stride + x * 4]; // B, G, R, A
            rgb.insert(rgb.end(),
                       {static_cast<unsigned char>(p[2]), static_cast<unsigned char>(p[1]),
                        static_cast<unsigned char>(p[0])});
        }
    }
    return rgb;
}

} // namespace

ProgramRun RunAsCompositorUser(const HeadlessCompositor& compositor,
                               const std::vector<std::string>& argv) {
    const passwd* user = getpwnam(kUser);
    if (user == nullptr) {
        return {};
    }
    std::vector<std::string> command = {
        "/usr/bin/setpriv", "--reuid=" + std::to_string(user->pw_uid),
        "--regid=" + std::to_string(user->pw_gid), "--clear-groups"};
    command.insert(command.end(), argv.begin(), argv.end());
    std::vector<std::string> env = CompositorEnvironment(compositor);
    env.insert(env.end(), {"HOME=" + compositor.runtimeDir, "PATH=/usr/bin:/bin"});
    return RunProgram(command, ProgramOptions(env, {}, false));
}

std::vector<unsigned char> CaptureOutput(const HeadlessCompositor& compositor,
                                         const std::string& output, int* width, int* height) {
    switch (compositor.kind) {
    case CompositorKind::kSway: {
        const std::string shot = compositor.runtimeDir + "/screenshot.png";
        RunProgram({"grim", "-o", output, shot}, ProgramOptions(CompositorEnvironment(compositor)));
        return ReadPngRgb(shot, width, height, true);
    }
    case CompositorKind::kKwin:
        return CaptureKwin(compositor, output, width, height);
    case CompositorKind::kWeston:
        return CaptureWeston(compositor, width, height);
    case CompositorKind::kMutter:
        break;
    }
    return {};
}

ProtocolLog ReadProtocolLog(const std::string& path) {
    ProtocolLog log;
    std::ifstream in(path);
    const std::regex made(R"(create_buffer\(new id wl_buffer@\d+, \d+, (\d+), (\d+),)");
    for (std::string line; std::getline(in, line);) {
        std::smatch m;
        if (std::regex_search(line, m, made)) {
            log.widest = std::max(log.widest, std::stoi(m[1]));
            log.tallest = std::max(log.tallest, std::stoi(m[2]));
        }
        log.attaches += line.find("wl_surface@") != std::string::npos &&
                        line.find(".attach(") != std::string::npos;
        log.destroyed += line.find("-> wl_surface@") != std::string::npos &&
                         line.find(".destroy()") != std::string::npos;
        if (line.rfind("ripplefield-wayland: ", 0) == 0) {
            log.said += line + "\n";
        } else if (line.rfind("[", 0) != 0) {
            log.others += line + "\n";
        }
    }
    return log;
}
