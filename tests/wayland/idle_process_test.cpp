// ripplefield-wayland --idle as a user runs it, on each headless compositor: the idle source it
// finds, views that come once the user has been idle and not while an inhibitor is held, the
// still renderer's picture on them, input that closes them while the program waits on, the next
// idle time that brings them back, and waiting that costs no processor time.
#include "compositor_support.h"
#include "png_file.h"

#include <systemd/sd-bus.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <functional>

#include <poll.h>
#include <unistd.h>

namespace {
// A session manager of the test's own on the bus, whose inhibitors the test sets.
struct StandInSessionManager {
    sd_bus* bus = nullptr;
    sd_bus_slot* object = nullptr;
    bool inhibited = false;
};

int OnIsInhibited(sd_bus_message* call, void* data, sd_bus_error*) {
    uint32_t flags = 0;
    sd_bus_message_read(call, "u", &flags);
    const bool inhibited = static_cast<StandInSessionManager*>(data)->inhibited && (flags & 8);
    return sd_bus_reply_method_return(call, "b", static_cast<int>(inhibited));
}

const sd_bus_vtable kSessionManagerTable[] = {
    SD_BUS_VTABLE_START(0), SD_BUS_METHOD("IsInhibited", "u", "b", OnIsInhibited, 0),
    SD_BUS_SIGNAL("InhibitorAdded", "o", 0), SD_BUS_SIGNAL("InhibitorRemoved", "o", 0),
    SD_BUS_VTABLE_END};

// The processor time a process has had, in nanoseconds, from the scheduler's account.
long long CpuNanoseconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/schedstat");
    long long ns = -1;
    in >> ns;
    return ns;
}

class IdleProcessTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (geteuid() != 0) {
            GTEST_SKIP() << "needs root, to run compositors as a system user (useradd, setpriv)";
        }
        char dir[] = "/tmp/ripplefield-idle-test-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        files_ = dir;
    }
    void TearDown() override {
        StopRow();
        if (!files_.empty()) {
            RunProgram({"/bin/rm", "-rf", files_});
        }
    }
    // Ends what a row of a table started: the programs, the stand-in and the compositor.
    void StopRow() {
        KillProgram(&inhibitor_);
        KillProgram(&program_);
        sd_bus_slot_unref(sessionManager_.object);
        sd_bus_flush_close_unref(sessionManager_.bus);
        sessionManager_ = StandInSessionManager();
        StopCompositor(&compositor_);
    }
    void Start(const std::vector<std::string>& args) {
        std::vector<std::string> env = CompositorEnvironment(compositor_);
        env.insert(env.end(), {"RIPPLEFIELD_FREEZE=2027,700", "WAYLAND_DEBUG=1"});
        ProgramOptions options(env);
        options.stderrFile = files_ + "/protocol.log";
        std::vector<std::string> argv = {RIPPLEFIELD_WAYLAND};
        argv.insert(argv.end(), args.begin(), args.end());
        program_ = StartProgram(argv, options);
    }
    // Serves the stand-in's calls while waiting for the program's log to show what is wanted.
    bool WaitForLog(const std::function<bool(const ProtocolLog&)>& wanted,
                    int timeoutMs = kPatientMs) {
        return WaitUntil(
            [&] {
                while (sessionManager_.bus != nullptr &&
                       sd_bus_process(sessionManager_.bus, nullptr) > 0) {
                }
                return wanted(ReadProtocolLog(files_ + "/protocol.log"));
            },
            timeoutMs);
    }
    bool Running() {
        int code = 0;
        return !WaitForExit(&program_, 200, &code);
    }
    // Input, or what stands in for it where the compositor takes none from a client.
    void Input() {
        switch (compositor_.kind) {
        case CompositorKind::kSway:
            EXPECT_EQ(RunProgram({"wtype", "a"}, CompositorEnvironment(compositor_)).exitCode, 0);
            break;
        case CompositorKind::kKwin: // a key, A
            EXPECT_EQ(
                RunAsCompositorUser(compositor_, {RIPPLEFIELD_FAKE_INPUT, "key", "30"}).exitCode,
                0);
            break;
        case CompositorKind::kMutter:
            EXPECT_EQ(RunProgram({"dbus-send", "--bus=" + compositor_.bus, "--print-reply",
                                  "--dest=org.gnome.Mutter.IdleMonitor",
                                  "/org/gnome/Mutter/IdleMonitor/Core",
                                  "org.gnome.Mutter.IdleMonitor.ResetIdletime"})
                          .exitCode,
                      0);
            break;
        case CompositorKind::kWeston:
            break;
        }
    }
    // A window holding an inhibitor; on GNOME, where Mutter 43 offers none, the session
    // manager's word.
    ::testing::AssertionResult HoldInhibitor(bool hold) {
        if (compositor_.kind == CompositorKind::kMutter) {
            StandInSessionManager& manager = sessionManager_;
            manager.inhibited = hold;
            sd_bus_emit_signal(manager.bus, "/org/gnome/SessionManager", "org.gnome.SessionManager",
                               hold ? "InhibitorAdded" : "InhibitorRemoved", "o",
                               "/org/gnome/SessionManager/Inhibitor1");
            sd_bus_flush(manager.bus);
            return ::testing::AssertionSuccess();
        }
        if (!hold) {
            KillProgram(&inhibitor_);
            return ::testing::AssertionSuccess();
        }
        ProgramOptions options(CompositorEnvironment(compositor_));
        options.captureStdout = true;
        inhibitor_ = StartProgram({RIPPLEFIELD_IDLE_INHIBITOR}, options);
        std::string said;
        pollfd fd = {inhibitor_.stdoutPipe, POLLIN, 0};
        char buffer[64];
        while (said.find("ready") == std::string::npos && poll(&fd, 1, kPatientMs) > 0) {
            const ssize_t n = read(fd.fd, buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            said.append(buffer, static_cast<size_t>(n));
        }
        return said.find("ready") != std::string::npos
                   ? ::testing::AssertionSuccess()
                   : ::testing::AssertionFailure() << "no inhibitor: " << ReadStderr(&inhibitor_);
    }
    void ServeSessionManager() {
        setenv("DBUS_SESSION_BUS_ADDRESS", compositor_.bus.c_str(), 1);
        StandInSessionManager& manager = sessionManager_;
        ASSERT_GE(sd_bus_open_user(&manager.bus), 0);
        ASSERT_GE(sd_bus_add_object_vtable(manager.bus, &manager.object,
                                           "/org/gnome/SessionManager", "org.gnome.SessionManager",
                                           kSessionManagerTable, &manager),
                  0);
        ASSERT_GE(sd_bus_request_name(manager.bus, "org.gnome.SessionManager", 0), 0);
    }

    HeadlessCompositor compositor_;
    RunningProgram inhibitor_;
    RunningProgram program_;
    StandInSessionManager sessionManager_;
    std::string files_;
};

TEST_F(IdleProcessTest, EachDesktopShowsTheSaverWhenIdleAndClosesItOnInput) {
    const struct {
        CompositorKind kind;
        const char* source; // null: none, and the program says what to use instead
        const char* output; // read back, where the compositor lets it be
    } rows[] = {
        {CompositorKind::kSway, "org_kde_kwin_idle", "HEADLESS-1"},
        {CompositorKind::kKwin, "ext_idle_notifier_v1", "Virtual-0"},
        {CompositorKind::kMutter, "org.gnome.Mutter.IdleMonitor", nullptr},
        {CompositorKind::kWeston, nullptr, nullptr},
    };
    const std::string still = files_ + "/still.png";
    RunProgram({RIPPLEFIELD_RENDER_TOOL, "--size", "1280x720", "--seed", "2027", "--ticks", "700",
                "--png", still});
    int width = 0;
    int height = 0;
    const std::vector<unsigned char> expected = ReadPngRgb(still, &width, &height);
    for (const auto& row : rows) {
        SCOPED_TRACE(CompositorName(row.kind));
        ASSERT_TRUE(StartCompositor(&compositor_, row.kind));
        if (row.kind == CompositorKind::kMutter) {
            ServeSessionManager();
        }
        // An inhibitor from the start: an idle state that one appears in is left alone by
        // sway 1.7 and kwin, which then ignore input until it goes.
        if (row.source != nullptr) {
            ASSERT_TRUE(HoldInhibitor(true));
        }
        Start({"--idle", "1", "--verbose"});
        if (row.source == nullptr) {
            int code = -1;
            EXPECT_TRUE(WaitForExit(&program_, kPatientMs, &code));
            EXPECT_EQ(code, 1);
            const std::string said = ReadProtocolLog(files_ + "/protocol.log").said;
            EXPECT_NE(said.find("swayidle or hypridle"), std::string::npos) << said;
            EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
            StopRow();
            continue;
        }
        EXPECT_TRUE(WaitForLog([&](const ProtocolLog& log) {
            return log.said ==
                   std::string("ripplefield-wayland: idle time from ") + row.source + "\n";
        }));
        EXPECT_FALSE(WaitForLog([](const ProtocolLog& log) { return log.attaches > 0; }, 3000))
            << "views while an inhibitor is held";
        ASSERT_TRUE(HoldInhibitor(false));
        EXPECT_TRUE(WaitForLog([](const ProtocolLog& log) { return log.attaches > 0; }))
            << "no views once the user was idle";
        if (row.output != nullptr) {
            EXPECT_TRUE(WaitUntil(
                [&] { return CaptureOutput(compositor_, row.output, &width, &height) == expected; },
                kPatientMs));
        }
        Input();
        EXPECT_TRUE(WaitForLog([](const ProtocolLog& log) { return log.destroyed > 0; }))
            << "input left the views";
        EXPECT_TRUE(Running());
        const int before = ReadProtocolLog(files_ + "/protocol.log").attaches;
        EXPECT_TRUE(WaitForLog([&](const ProtocolLog& log) { return log.attaches > before + 1; }))
            << "no views the next time";
        SignalProgram(program_, SIGTERM);
        int code = -1;
        EXPECT_TRUE(WaitForExit(&program_, kPatientMs, &code));
        EXPECT_EQ(code, 0) << ReadProtocolLog(files_ + "/protocol.log").others;
        StopRow();
    }
}

// Waiting is sleeping: the program wakes for nothing but the compositor's word.
TEST_F(IdleProcessTest, TenSecondsOfWaitingCostLessThanTenMillisecondsOfProcessorTime) {
    ASSERT_TRUE(StartCompositor(&compositor_, CompositorKind::kSway));
    Start({"--idle", "3600", "--verbose"});
    ASSERT_TRUE(WaitForLog([](const ProtocolLog& log) { return !log.said.empty(); }));
    const long long start = CpuNanoseconds(program_.pid);
    sleep(10);
    const long long spent = CpuNanoseconds(program_.pid) - start;
    EXPECT_GE(start, 0);
    EXPECT_LT(spent, 10000000LL) << spent << " ns in 10 s";
    EXPECT_TRUE(Running());
}

} // namespace
