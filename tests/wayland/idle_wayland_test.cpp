// The idle sources in-process, on each headless compositor: the source found, idled after the
// timeout, resumed on input (or its stand-in) and idled again, and an inhibitor holding idled back.
#include "compositor_support.h"
#include "wayland/idle_wayland.h"

#include <systemd/sd-bus.h>
#include <wayland-client.h>

#include <cstdlib>
#include <cstring>

#include <poll.h>
#include <unistd.h>

namespace {

constexpr int kIdleMs = 1000;

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

struct IdleClient {
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_seat* seat = nullptr;
    IdleSources sources;
    int idled = 0;
    int resumed = 0;
    StandInSessionManager sessionManager;
};

void OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
              uint32_t version) {
    IdleClient& client = *static_cast<IdleClient*>(data);
    if (!BindIdleGlobal(client.sources, registry, name, interface, version) &&
        std::strcmp(interface, wl_seat_interface.name) == 0) {
        client.seat =
            static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    }
}

void OnGlobalRemove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener kRegistryListener = {OnGlobal, OnGlobalRemove};

void OnIdled(void* data) {
    ++static_cast<IdleClient*>(data)->idled;
}
void OnResumed(void* data) {
    ++static_cast<IdleClient*>(data)->resumed;
}

class IdleWaylandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (geteuid() != 0) {
            GTEST_SKIP() << "needs root, to run compositors as a system user (useradd, setpriv)";
        }
    }
    void TearDown() override {
        KillProgram(&inhibitor_);
        if (client_.display != nullptr) {
            StopIdleWatch(client_.sources);
            if (client_.seat != nullptr) {
                wl_seat_destroy(client_.seat);
            }
            wl_registry_destroy(client_.registry);
            sd_bus_slot_unref(client_.sessionManager.object);
            sd_bus_flush_close_unref(client_.sessionManager.bus);
            wl_display_disconnect(client_.display);
        }
        client_ = IdleClient();
        StopCompositor(&compositor_);
    }
    // The test's own process becomes the compositor's client, as ripplefield-wayland is.
    ::testing::AssertionResult Connect(CompositorKind kind) {
        if (::testing::AssertionResult started = StartCompositor(&compositor_, kind); !started) {
            return started;
        }
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
        for (const std::string& entry : CompositorEnvironment(compositor_)) {
            const size_t equals = entry.find('=');
            setenv(entry.substr(0, equals).c_str(), entry.substr(equals + 1).c_str(), 1);
        }
        client_.display = wl_display_connect(nullptr);
        if (client_.display == nullptr) {
            return ::testing::AssertionFailure() << "cannot connect";
        }
        client_.registry = wl_display_get_registry(client_.display);
        wl_registry_add_listener(client_.registry, &kRegistryListener, &client_);
        wl_display_roundtrip(client_.display);
        return ::testing::AssertionSuccess();
    }
    // Dispatches the display's, the idle source's and the stand-in's messages until done holds.
    bool Pump(const std::function<bool()>& done, int timeoutMs = kPatientMs) {
        const double end = SteadyMs() + timeoutMs;
        while (!done()) {
            const int left = static_cast<int>(end - SteadyMs());
            if (left <= 0) {
                return false;
            }
            while (wl_display_prepare_read(client_.display) != 0) {
                wl_display_dispatch_pending(client_.display);
            }
            wl_display_flush(client_.display);
            sd_bus* standIn = client_.sessionManager.bus;
            pollfd fds[3] = {{wl_display_get_fd(client_.display), POLLIN, 0},
                             {IdleWatchFd(client_.sources), POLLIN, 0},
                             {standIn ? sd_bus_get_fd(standIn) : -1, POLLIN, 0}};
            poll(fds, 3, left);
            if (fds[0].revents != 0) {
                wl_display_read_events(client_.display);
            } else {
                wl_display_cancel_read(client_.display);
            }
            wl_display_dispatch_pending(client_.display);
            if (fds[1].revents != 0 && !DispatchIdleWatch(client_.sources)) {
                return false;
            }
            while (standIn != nullptr && sd_bus_process(standIn, nullptr) > 0) {
            }
        }
        return true;
    }
    // Input, or what stands in for it where the compositor takes none from a client.
    void Input() {
        switch (compositor_.kind) {
        case CompositorKind::Sway:
            EXPECT_EQ(RunProgram({"wtype", "a"}, CompositorEnvironment(compositor_)).exitCode, 0);
            break;
        case CompositorKind::Kwin: // a key, A
            EXPECT_EQ(
                RunAsCompositorUser(compositor_, {RIPPLEFIELD_FAKE_INPUT, "key", "30"}).exitCode,
                0);
            break;
        case CompositorKind::Mutter:
            EXPECT_EQ(RunProgram({"dbus-send", "--bus=" + compositor_.bus, "--print-reply",
                                  "--dest=org.gnome.Mutter.IdleMonitor",
                                  "/org/gnome/Mutter/IdleMonitor/Core",
                                  "org.gnome.Mutter.IdleMonitor.ResetIdletime"})
                          .exitCode,
                      0);
            break;
        case CompositorKind::Weston:
            break;
        }
    }
    // A window holding an inhibitor; on GNOME, where Mutter 43 offers none, the session
    // manager's word.
    ::testing::AssertionResult HoldInhibitor(bool hold) {
        if (compositor_.kind == CompositorKind::Mutter) {
            StandInSessionManager& manager = client_.sessionManager;
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
        StandInSessionManager& manager = client_.sessionManager;
        ASSERT_GE(sd_bus_open_user(&manager.bus), 0);
        ASSERT_GE(sd_bus_add_object_vtable(manager.bus, &manager.object,
                                           "/org/gnome/SessionManager", "org.gnome.SessionManager",
                                           kSessionManagerTable, &manager),
                  0);
        ASSERT_GE(sd_bus_request_name(manager.bus, "org.gnome.SessionManager", 0), 0);
    }

    HeadlessCompositor compositor_;
    RunningProgram inhibitor_;
    IdleClient client_;
};

TEST_F(IdleWaylandTest, EachCompositorsSourceTellsIdleAndInputAndHonoursInhibitors) {
    const struct {
        CompositorKind kind;
        const char* source; // null: none
    } rows[] = {
        {CompositorKind::Sway, "org_kde_kwin_idle"},
        {CompositorKind::Kwin, "ext_idle_notifier_v1"},
        {CompositorKind::Mutter, "org.gnome.Mutter.IdleMonitor"},
        {CompositorKind::Weston, nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(CompositorName(row.kind));
        ASSERT_TRUE(Connect(row.kind));
        if (row.kind == CompositorKind::Mutter) {
            ServeSessionManager();
        }
        // An inhibitor from the start: an idle state that one appears in is left alone by
        // sway 1.7 and kwin, which then ignore input until it goes.
        const bool inhibits = row.source != nullptr;
        if (inhibits) {
            ASSERT_TRUE(HoldInhibitor(true));
        }
        std::string error;
        const bool started = StartIdleWatch(client_.sources, client_.seat, kIdleMs, OnIdled,
                                            OnResumed, &client_, &error);
        EXPECT_STREQ(IdleSourceName(client_.sources), row.source ? row.source : "none");
        if (!inhibits) {
            EXPECT_FALSE(started);
            EXPECT_NE(error.find("swayidle or hypridle"), std::string::npos) << error;
            EXPECT_EQ(error.find('\n'), std::string::npos) << error;
            TearDown();
            continue;
        }
        ASSERT_TRUE(started) << error;
        EXPECT_FALSE(Pump([&] { return client_.idled > 0; }, 3 * kIdleMs))
            << "idled while an inhibitor is held";
        ASSERT_TRUE(HoldInhibitor(false));
        EXPECT_TRUE(Pump([&] { return client_.idled == 1; })) << "no idled once it was let go";
        Input();
        EXPECT_TRUE(Pump([&] { return client_.resumed == 1; })) << "no resumed";
        EXPECT_TRUE(Pump([&] { return client_.idled == 2; })) << "no idled the second time";
        EXPECT_EQ(client_.resumed, 1);
        TearDown();
    }
}

} // namespace
