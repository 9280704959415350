// sway_support.cpp -- headless sway as a system user, for the tests.
#include "sway_support.h"

#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fstream>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kUser[] = "ripplefield-sway";

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

} // namespace

::testing::AssertionResult StartSway(HeadlessSway* sway, const HeadlessSway* parent) {
    if (getpwnam(kUser) == nullptr) {
        RunProgram({"/usr/sbin/useradd", "--system", "--no-create-home", "--home-dir",
                    "/nonexistent", "--shell", "/usr/sbin/nologin", kUser});
    }
    const passwd* user = getpwnam(kUser);
    if (user == nullptr) {
        return ::testing::AssertionFailure() << "cannot make the system user " << kUser;
    }
    char dir[] = "/tmp/ripplefield-sway-XXXXXX";
    if (parent != nullptr) {
        sway->runtimeDir = parent->runtimeDir; // the nested one's sockets beside the parent's
        sway->nested = true;
    } else if (mkdtemp(dir) == nullptr || chown(dir, user->pw_uid, user->pw_gid) != 0) {
        return ::testing::AssertionFailure() << "cannot make a runtime directory";
    } else {
        sway->runtimeDir = dir;
        std::ofstream(sway->runtimeDir + "/config") << "xwayland disable\n";
    }
    ProgramOptions options({"HOME=" + sway->runtimeDir, "XDG_RUNTIME_DIR=" + sway->runtimeDir,
                            "PATH=/usr/bin:/bin", "WLR_RENDERER=pixman",
                            "WLR_LIBINPUT_NO_DEVICES=1",
                            parent ? "WLR_BACKENDS=wayland" : "WLR_BACKENDS=headless",
                            "WAYLAND_DISPLAY=" + (parent ? parent->socket : "")},
                           {}, false);
    options.stderrFile = sway->runtimeDir + (parent ? "/nested.log" : "/sway.log");
    sway->program = StartProgram({"/usr/bin/setpriv", "--reuid=" + std::to_string(user->pw_uid),
                                  "--regid=" + std::to_string(user->pw_gid), "--clear-groups",
                                  "/usr/bin/sway", "-c", sway->runtimeDir + "/config"},
                                 options);
    const std::string ipc =
        "sway-ipc." + std::to_string(user->pw_uid) + "." + std::to_string(sway->program.pid);
    const bool up = WaitUntil(
        [&] {
            sway->socket = FindSocket(sway->runtimeDir, "wayland-", parent ? parent->socket : "");
            sway->ipc = FindSocket(sway->runtimeDir, ipc);
            return !sway->socket.empty() && !sway->ipc.empty() &&
                   Swaymsg(*sway, "-t get_outputs") == 0;
        },
        kPatientMs);
    if (!up) {
        StopSway(sway);
        return ::testing::AssertionFailure() << "sway did not start (is it installed?)";
    }
    sway->ipc = sway->runtimeDir + "/" + sway->ipc;
    return ::testing::AssertionSuccess();
}

void StopSway(HeadlessSway* sway) {
    if (sway->program.pid > 0) {
        kill(sway->program.pid, SIGTERM);
        int code = 0;
        if (!WaitForExit(&sway->program, 10000, &code)) {
            KillProgram(&sway->program);
        }
    }
    if (!sway->runtimeDir.empty() && !sway->nested) {
        RunProgram({"/bin/rm", "-rf", sway->runtimeDir});
        sway->runtimeDir.clear();
    }
}

std::vector<std::string> SwayEnvironment(const HeadlessSway& sway) {
    return {"XDG_RUNTIME_DIR=" + sway.runtimeDir, "WAYLAND_DISPLAY=" + sway.socket,
            "SWAYSOCK=" + (sway.ipc[0] == '/' ? sway.ipc : sway.runtimeDir + "/" + sway.ipc)};
}

int Swaymsg(const HeadlessSway& sway, const std::string& command, std::string* out) {
    std::vector<std::string> argv = {"swaymsg"};
    if (command[0] != '-') {
        argv.push_back("--"); // "cursor move -4 0" is no option
    }
    const std::vector<std::string> words = Words(command);
    argv.insert(argv.end(), words.begin(), words.end());
    const ProgramRun run = RunProgram(argv, ProgramOptions(SwayEnvironment(sway)));
    if (out != nullptr) {
        *out = run.out;
    }
    return run.exitCode;
}
