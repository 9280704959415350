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

// The parent of a process; 0 when it is gone.
pid_t ParentOf(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("PPid:", 0) == 0) {
            return static_cast<pid_t>(std::atoi(line.c_str() + 5));
        }
    }
    return 0;
}

bool DescendsFrom(pid_t pid, pid_t ancestor) {
    for (pid_t p = ParentOf(pid); p > 1; p = ParentOf(p)) {
        if (p == ancestor) {
            return true;
        }
    }
    return false;
}

// The pid of a running program whose executable is path and that the daemon started (other tests
// run the same program meanwhile); 0 when there is none.
pid_t FindProcess(const std::string& path, pid_t daemon) {
    DIR* proc = opendir("/proc");
    pid_t found = 0;
    while (dirent* entry = proc != nullptr ? readdir(proc) : nullptr) {
        const pid_t pid = static_cast<pid_t>(std::atoi(entry->d_name));
        char exe[4096];
        const std::string link = std::string("/proc/") + entry->d_name + "/exe";
        const ssize_t n = pid > 0 ? readlink(link.c_str(), exe, sizeof exe - 1) : -1;
        if (n > 0 && std::string(exe, static_cast<size_t>(n)) == path &&
            DescendsFrom(pid, daemon)) {
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

int IgnoreXError(Display*, XErrorEvent*) {
    return 0;
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

// A private X server, a home for the test user, and the daemon once started: all gone after the
// test, however it ends.
class RealDaemon : public ::testing::Test {
  protected:
    void TearDown() override {
        if (daemon_.pid > 0) {
            kill(daemon_.pid, SIGTERM);
            int status = 0;
            WaitForExit(&daemon_, kPatientMs, &status);
        }
        KillProgram(&daemon_);
        std::ifstream lines(home_ + "/daemon.log");
        std::string line;
        while (std::getline(lines, line)) {
            if (line.find(RIPPLEFIELD_HACK) != std::string::npos ||
                line.find("ClientMessage") != std::string::npos ||
                line.find("blanking") != std::string::npos) {
                std::cout << line << "\n"; // the daemon's own account of the run
            }
        }
        if (!home_.empty()) {
            RunToEnd({"/bin/rm", "-rf", home_}, {});
        }
        if (display_ != nullptr) {
            XCloseDisplay(display_);
        }
        StopXvfb(&server_);
    }
    // Runs a command as the test user, with a plain environment of its own.
    int RunAsUser(const std::vector<std::string>& argv) {
        std::vector<std::string> all = asUser_;
        all.insert(all.end(), argv.begin(), argv.end());
        return RunToEnd(all, environment_, false);
    }

    PrivateXServer server_;
    Display* display_ = nullptr;
    std::string home_;
    std::vector<std::string> asUser_;
    std::vector<std::string> environment_;
    RunningProgram daemon_;
};

} // namespace

TEST_F(RealDaemon, ActivationStartsItInTheDaemonsWindowAndDeactivationEndsIt) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root, to make the system user " << kUser
                     << " (useradd) and start the daemon as that user (setpriv)";
    }
    const passwd* user = TestUser();
    ASSERT_NE(user, nullptr) << "cannot make the system user " << kUser;
    const uid_t uid = user->pw_uid;
    const gid_t gid = user->pw_gid;
    ASSERT_TRUE(StartXvfb({"640x480x24"}, &server_));
    display_ = XOpenDisplay(server_.display.c_str());
    ASSERT_NE(display_, nullptr);
    XSetErrorHandler(IgnoreXError); // a window that is not there fails a check, not the program

    char homeTemplate[] = "/tmp/ripplefield-daemon-XXXXXX";
    ASSERT_NE(mkdtemp(homeTemplate), nullptr);
    home_ = homeTemplate;
    ASSERT_EQ(chown(home_.c_str(), uid, gid), 0);
    asUser_ = {"/usr/bin/setpriv", "--reuid=" + std::to_string(uid),
               "--regid=" + std::to_string(gid), "--clear-groups"};
    environment_ = {"HOME=" + home_, "DISPLAY=" + server_.display, "PATH=/usr/bin:/bin",
                    std::string("USER=") + kUser, std::string("LOGNAME=") + kUser};
    ASSERT_EQ(RunAsUser({"/bin/sh", "-c", "test -r \"$0\" && test -x \"$0\"", RIPPLEFIELD_HACK}), 0)
        << kUser << " cannot read and run " << RIPPLEFIELD_HACK
        << ": every folder above it must be open to others";
    {
        std::ofstream settings(home_ + "/.xscreensaver");
        settings << "timeout: 0:30:00\nlock: False\nfade: False\nunfade: False\nsplash: False\n"
                    "dpmsEnabled: False\nmode: one\nselected: 0\n"
                    "programs: GL: \"RippleField\" "
                 << RIPPLEFIELD_HACK << " --root \\n\n";
    }
    ASSERT_EQ(chown((home_ + "/.xscreensaver").c_str(), uid, gid), 0);

    std::vector<std::string> daemonArgs = asUser_;
    daemonArgs.insert(daemonArgs.end(), {"/usr/bin/xscreensaver", "-no-splash", "-verbose"});
    daemon_ = StartProgram(daemonArgs, environment_, {}, false, home_ + "/daemon.log");
    const auto send = [&](const char* what) {
        return RunAsUser({"/usr/bin/xscreensaver-command", what});
    };
    ASSERT_TRUE(WaitUntil([&] { return send("-version") == 0; }, kPatientMs))
        << "the daemon did not answer";

    ASSERT_EQ(send("-activate"), 0);
    pid_t hack = 0;
    ASSERT_TRUE(WaitUntil([&] { return (hack = FindProcess(RIPPLEFIELD_HACK, daemon_.pid)) != 0; },
                          kPatientMs))
        << "activation started no RippleField";
    // Started from the programs line as it stands, in a window the daemon names.
    EXPECT_EQ(ReadProcList(hack, "cmdline"),
              (std::vector<std::string>{RIPPLEFIELD_HACK, "--root"}));
    unsigned long window = 0;
    for (const std::string& e : ReadProcList(hack, "environ")) {
        if (e.rfind("XSCREENSAVER_WINDOW=", 0) == 0) {
            window = std::strtoul(e.c_str() + 20, nullptr, 0);
        }
    }
    ASSERT_NE(window, 0u) << "the daemon named no window";
    XWindowAttributes attributes = {};
    ASSERT_TRUE(XGetWindowAttributes(display_, window, &attributes));
    EXPECT_TRUE(WaitUntil(
        [&] {
            const Snapshot s =
                TakeSnapshot(display_, window, 0, attributes.height / 2, attributes.width, 1);
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
