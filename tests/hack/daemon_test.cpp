// The display mode under the real XScreenSaver daemon on a private X server, run as an ordinary
// user with a home whose ~/.xscreensaver lists only RippleField: activation starts it in the
// daemon's window, deactivation ends it.
#include "x_support.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const char kUser[] = "ripplefield-test";

// Runs a command to its end; its exit code, or -1 when it did not end in time.
int RunToEnd(const std::vector<std::string>& argv, const std::vector<std::string>& set,
             bool inherit = true) {
    RunningProgram program = StartProgram(argv, set, {}, inherit);
    int status = 0;
    const bool ended = WaitForExit(&program, kPatientMs, &status);
    KillProgram(&program);
    return ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The system user the daemon runs as, made once: the daemon will not launch display modes as root.
const passwd* TestUser() {
    if (getpwnam(kUser) == nullptr) {
        RunToEnd({"/usr/sbin/useradd", "--system", "--no-create-home", "--home-dir", "/nonexistent",
                  "--shell", "/usr/sbin/nologin", kUser},
                 {});
    }
    return getpwnam(kUser); // made here, or by a test running beside this one
}

// The pid of the running program whose executable is path; 0 when there is none.
pid_t FindProcess(const std::string& path) {
    DIR* proc = opendir("/proc");
    pid_t found = 0;
    while (dirent* entry = proc != nullptr ? readdir(proc) : nullptr) {
        const pid_t pid = static_cast<pid_t>(std::atoi(entry->d_name));
        char exe[4096];
        const std::string link = std::string("/proc/") + entry->d_name + "/exe";
        const ssize_t n = pid > 0 ? readlink(link.c_str(), exe, sizeof exe - 1) : -1;
        if (n > 0 && std::string(exe, static_cast<size_t>(n)) == path) {
            found = pid;
            break;
        }
    }
    if (proc != nullptr) {
        closedir(proc);
    }
    return found;
}

// The NUL-separated entries of /proc/PID/environ or /proc/PID/cmdline.
std::vector<std::string> ReadProcList(pid_t pid, const char* what) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/" + what, std::ios::binary);
    std::vector<std::string> items;
    std::string item;
    while (std::getline(file, item, '\0')) {
        items.push_back(item);
    }
    return items;
}

bool IsRunning(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) {
        return false;
    }
    const size_t close = line.rfind(')');
    return close != std::string::npos && line.size() > close + 2 && line[close + 2] != 'Z';
}

} // namespace

TEST(RealDaemon, ActivationStartsItInTheDaemonsWindowAndDeactivationEndsIt) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root, to make the system user " << kUser
                     << " (useradd) and start the daemon as that user (setpriv)";
    }
    const passwd* user = TestUser();
    ASSERT_NE(user, nullptr) << "cannot make the system user " << kUser;
    const uid_t uid = user->pw_uid;
    const gid_t gid = user->pw_gid;
    PrivateXServer server;
    ASSERT_TRUE(StartXvfb({"640x480x24"}, &server));
    Display* display = XOpenDisplay(server.display.c_str());
    ASSERT_NE(display, nullptr);

    char homeTemplate[] = "/tmp/ripplefield-daemon-XXXXXX";
    const std::string home = mkdtemp(homeTemplate);
    ASSERT_EQ(chown(home.c_str(), uid, gid), 0);
    const std::vector<std::string> asUser = {"/usr/bin/setpriv", "--reuid=" + std::to_string(uid),
                                             "--regid=" + std::to_string(gid), "--clear-groups"};
    const std::vector<std::string> environment = {
        "HOME=" + home, "DISPLAY=" + server.display, "PATH=/usr/bin:/bin",
        std::string("USER=") + kUser, std::string("LOGNAME=") + kUser};
    std::vector<std::string> canRun = asUser;
    canRun.insert(canRun.end(),
                  {"/bin/sh", "-c", "test -r \"$0\" && test -x \"$0\"", RIPPLEFIELD_HACK});
    ASSERT_EQ(RunToEnd(canRun, environment, false), 0)
        << kUser << " cannot read and run " << RIPPLEFIELD_HACK
        << ": every folder above it must be open to others";
    {
        std::ofstream settings(home + "/.xscreensaver");
        settings << "timeout: 0:30:00\nlock: False\nfade: False\nunfade: False\nsplash: False\n"
                    "dpmsEnabled: False\nmode: one\nselected: 0\n"
                    "programs: GL: \"RippleField\" "
                 << RIPPLEFIELD_HACK << " --root \\n\n";
    }
    ASSERT_EQ(chown((home + "/.xscreensaver").c_str(), uid, gid), 0);

    std::vector<std::string> daemonArgs = asUser;
    daemonArgs.insert(daemonArgs.end(), {"/usr/bin/xscreensaver", "-no-splash", "-verbose"});
    const std::string log = home + "/daemon.log";
    RunningProgram daemon = StartProgram(daemonArgs, environment, {}, false, log);
    std::vector<std::string> command = asUser;
    command.push_back("/usr/bin/xscreensaver-command");
    const auto send = [&](const char* what) {
        std::vector<std::string> argv = command;
        argv.push_back(what);
        return RunToEnd(argv, environment, false);
    };
    EXPECT_TRUE(WaitUntil([&] { return send("-version") == 0; }, kPatientMs))
        << "the daemon did not answer";

    EXPECT_EQ(send("-activate"), 0);
    pid_t hack = 0;
    EXPECT_TRUE(WaitUntil([&] { return (hack = FindProcess(RIPPLEFIELD_HACK)) != 0; }, kPatientMs))
        << "activation started no RippleField";
    if (hack != 0) {
        const std::vector<std::string> args = ReadProcList(hack, "cmdline");
        EXPECT_EQ(args, (std::vector<std::string>{RIPPLEFIELD_HACK, "--root"}));
        unsigned long window = 0;
        for (const std::string& e : ReadProcList(hack, "environ")) {
            if (e.rfind("XSCREENSAVER_WINDOW=", 0) == 0) {
                window = std::strtoul(e.c_str() + 20, nullptr, 0);
            }
        }
        ASSERT_NE(window, 0u) << "the daemon named no window";
        XWindowAttributes attributes = {};
        ASSERT_TRUE(XGetWindowAttributes(display, window, &attributes));
        EXPECT_TRUE(WaitUntil(
            [&] {
                const Snapshot s =
                    TakeSnapshot(display, window, 0, attributes.height / 2, attributes.width, 1);
                int field = 0;
                for (const Rgb& p : s.pixels) {
                    field += IsFieldColour(p) ? 1 : 0;
                }
                return field > attributes.width * 9 / 10;
            },
            kPatientMs))
            << "nothing drawn in the daemon's window " << WindowIdText(window);

        EXPECT_EQ(send("-deactivate"), 0);
        EXPECT_TRUE(WaitUntil([&] { return !IsRunning(hack); }, kPatientMs))
            << "deactivation did not end it";
    }

    kill(daemon.pid, SIGTERM);
    int status = 0;
    if (!WaitForExit(&daemon, kPatientMs, &status)) {
        KillProgram(&daemon);
    }
    KillProgram(&daemon);
    std::ifstream lines(log);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.find(RIPPLEFIELD_HACK) != std::string::npos ||
            line.find("ClientMessage") != std::string::npos ||
            line.find("blanking") != std::string::npos) {
            std::cout << line << "\n"; // the daemon's own account of the run
        }
    }
    RunToEnd({"/bin/rm", "-rf", home}, {});
    XCloseDisplay(display);
    StopXvfb(&server);
}
