// The display mode under the real XScreenSaver daemon on a private X server, run as an ordinary
// user with a home whose ~/.xscreensaver lists only RippleField: activation starts it in the
// daemon's window, deactivation ends it.
#include "x_support.h"

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kUser[] = "ripplefield-test";

// Runs a command to its end, in an environment of its own when one is given; its exit code, or -1
// when it did not end in time.
int RunToEnd(const std::vector<std::string>& argv, const std::vector<std::string>& set = {}) {
    return RunProgram(argv, {set, {}, set.empty()}).exitCode;
}

// Running and not a zombie (whose parent may be gone, and nobody left to reap it).
bool IsRunning(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const size_t close = line.rfind(')');
    return close != std::string::npos && line.size() > close + 2 && line[close + 2] != 'Z';
}

int IgnoreXError(Display*, XErrorEvent*) {
    return 0;
}

// A private X server, a home for the test user, and the daemon once started: all gone after the
// test, however it ends.
class RealDaemon : public ::testing::Test {
  protected:
    void TearDown() override {
        if (daemon_.pid > 0) {
            SignalProgram(daemon_, SIGTERM);
            int code = 0;
            WaitForExit(&daemon_, kPatientMs, &code);
        }
        KillProgram(&daemon_);
        std::ifstream log(home_ + "/daemon.log");
        for (std::string line; std::getline(log, line);) {
            if (line.find("ClientMessage") != std::string::npos ||
                line.find(hack_) != std::string::npos) {
                std::cout << line << "\n"; // the daemon's own account of the run
            }
        }
        if (!home_.empty()) {
            RunToEnd({"/bin/rm", "-rf", home_});
        }
        if (display_ != nullptr) {
            XCloseDisplay(display_);
        }
        StopXvfb(&server_);
    }
    int RunAsUser(std::vector<std::string> argv) {
        argv.insert(argv.begin(), asUser_.begin(), asUser_.end());
        return RunToEnd(argv, environment_);
    }
    // The daemon's verbose log line of the display mode's start: command, pid and window.
    bool FindStart(std::string* command, int* pid, unsigned long* window) {
        std::ifstream log(home_ + "/daemon.log");
        for (std::string line; std::getline(log, line);) {
            const size_t forked = line.find("forked \"" + hack_);
            char text[512] = "";
            if (forked != std::string::npos &&
                std::sscanf(line.c_str() + forked, "forked \"%511[^\"]\" in pid %d on window %lx",
                            text, pid, window) == 3) {
                *command = text;
                return true;
            }
        }
        return false;
    }

    PrivateXServer server_;
    Display* display_ = nullptr;
    std::string home_;
    std::string hack_ = RIPPLEFIELD_HACK; // the program as the test user can reach it
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
    // The daemon will not launch display modes as root. Made once, here or by an earlier run.
    if (getpwnam(kUser) == nullptr) {
        RunToEnd({"/usr/sbin/useradd", "--system", "--no-create-home", "--home-dir", "/nonexistent",
                  "--shell", "/usr/sbin/nologin", kUser});
    }
    const passwd* user = getpwnam(kUser);
    ASSERT_NE(user, nullptr) << "cannot make the system user " << kUser;
    ASSERT_TRUE(StartXvfb({"640x480x24"}, &server_));
    display_ = XOpenDisplay(server_.display.c_str());
    ASSERT_NE(display_, nullptr);
    XSetErrorHandler(IgnoreXError); // a window that is not there fails a check, not the program

    char home[] = "/tmp/ripplefield-daemon-XXXXXX";
    ASSERT_NE(mkdtemp(home), nullptr);
    home_ = home;
    ASSERT_EQ(chown(home, user->pw_uid, user->pw_gid), 0);
    asUser_ = {"/usr/bin/setpriv", "--reuid=" + std::to_string(user->pw_uid),
               "--regid=" + std::to_string(user->pw_gid), "--clear-groups"};
    environment_ = {"HOME=" + home_, "DISPLAY=" + server_.display, "PATH=/usr/bin:/bin",
                    std::string("USER=") + kUser, std::string("LOGNAME=") + kUser};
    // A build tree below a folder closed to others (a home, say) is out of the user's reach: then
    // a copy in its home is started instead.
    if (RunAsUser({"/bin/sh", "-c", "test -r \"$0\" && test -x \"$0\"", hack_}) != 0) {
        std::cout << kUser << " cannot reach " << hack_ << ": running a copy in its home\n";
        hack_ = home_ + "/ripplefield";
        ASSERT_TRUE(std::filesystem::copy_file(RIPPLEFIELD_HACK, hack_));
        ASSERT_EQ(chmod(hack_.c_str(), 0755), 0);
    }
    std::ofstream(home_ + "/.xscreensaver")
        << "timeout: 0:30:00\nlock: False\nfade: False\nunfade: False\nsplash: False\n"
           "dpmsEnabled: False\nmode: one\nselected: 0\n"
           "programs: GL: \"RippleField\" "
        << hack_ << " --root \\n\n";
    ASSERT_EQ(chown((home_ + "/.xscreensaver").c_str(), user->pw_uid, user->pw_gid), 0);

    std::vector<std::string> daemon = asUser_;
    daemon.insert(daemon.end(), {"/usr/bin/xscreensaver", "-no-splash", "-verbose"});
    ProgramOptions logged(environment_, {}, false);
    logged.stderrFile = home_ + "/daemon.log";
    daemon_ = StartProgram(daemon, logged);
    const auto send = [&](const char* what) {
        return RunAsUser({"/usr/bin/xscreensaver-command", what});
    };
    ASSERT_TRUE(WaitUntil([&] { return send("-version") == 0; }, kPatientMs))
        << "the daemon did not answer";

    ASSERT_EQ(send("-activate"), 0);
    std::string command;
    int pid = 0;
    unsigned long window = 0;
    ASSERT_TRUE(WaitUntil([&] { return FindStart(&command, &pid, &window); }, kPatientMs))
        << "activation started no RippleField";
    EXPECT_EQ(command, hack_ + " --root"); // the programs line as it stands
    XWindowAttributes attributes = {};
    ASSERT_TRUE(XGetWindowAttributes(display_, window, &attributes));
    EXPECT_TRUE(WaitUntil(
        [&] {
            return RowShowsField(
                TakeSnapshot(display_, window, 0, attributes.height / 2, attributes.width, 1), 0);
        },
        kPatientMs))
        << "nothing drawn in the daemon's window " << WindowIdText(window);

    EXPECT_EQ(send("-deactivate"), 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsRunning(pid); }, kPatientMs))
        << "deactivation did not end it";
}
