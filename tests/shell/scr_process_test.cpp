// scr_process_test.cpp -- the built ripplefield.scr run as a separate process: its modes, windows,
// exit codes, closing on input, the Windows 98 password paths and the picture on the screen.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "process_support.h"
#include "screen_capture.h"

namespace {

const char kSaverClass[] = "WindowsScreenSaverClass";
const char kFullScreenTitle[] = "Screen Saver";
const char kSaverFile[] = "ripplefield.scr";
// Starting and ending take seconds under the emulator; these only bound a hung saver.
const DWORD kStartMs = 30000;
const DWORD kEndMs = 30000;
const DWORD kNoMode = 0xFFFFFFFF; // exit code -1

std::string FullPath(const std::string& path) {
    char full[MAX_PATH];
    const DWORD n = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    return std::string(full, n);
}

// The saver beside the test programs' build tree: build/windows/ripplefield.scr.
std::string SaverPath() {
    return FullPath(ProgramFolder() + "..\\..\\" + kSaverFile);
}

std::string HandleText(HWND window) {
    return std::to_string(reinterpret_cast<UINT_PTR>(window));
}

DWORD ProcessOf(HWND window) {
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    return id;
}

bool Ended(HANDLE process) {
    return WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
}

// Polls, handling this thread's messages between looks, until the condition holds or time is up.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (condition()) {
            return true;
        }
        if (GetTickCount() - start >= timeoutMs) {
            return false;
        }
        PumpMessagesFor(50);
    }
}

// What TopLevelWindows looks for, and what it found.
struct WindowSearch {
    DWORD id;
    const char* className;
    const char* caption;
    bool visibleOnly;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectMatchingWindow(HWND window, LPARAM data) {
    WindowSearch& s = *reinterpret_cast<WindowSearch*>(data);
    char text[256];
    if (s.id != 0 && ProcessOf(window) != s.id) {
        return TRUE;
    }
    if (s.visibleOnly && !IsWindowVisible(window)) {
        return TRUE;
    }
    if (s.className != nullptr &&
        (GetClassNameA(window, text, sizeof text) == 0 || std::strcmp(text, s.className) != 0)) {
        return TRUE;
    }
    if (s.caption != nullptr) {
        text[0] = '\0';
        GetWindowTextA(window, text, sizeof text);
        if (std::strcmp(text, s.caption) != 0) {
            return TRUE;
        }
    }
    s.found.push_back(window);
    return TRUE;
}

// The top-level windows of a process (every process when id is 0) with that class and caption;
// nullptr matches any. Only visible ones when asked.
std::vector<HWND> TopLevelWindows(DWORD id, const char* className, const char* caption,
                                  bool visibleOnly) {
    WindowSearch search{id, className, caption, visibleOnly, {}};
    EnumWindows(CollectMatchingWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Real input reaches the saver through the system's input queue. The pointer cannot be moved by
// another program here: Wine's X11 driver refuses to warp it while a full-screen window holds
// the pointer grab, so keys and buttons it is.

// Presses and releases Shift.
void PressKey() {
    INPUT keys[2] = {};
    keys[0].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = VK_SHIFT;
    keys[1] = keys[0];
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, keys, sizeof(INPUT));
}

// Clicks the left mouse button where the pointer is.
void ClickMouse() {
    INPUT clicks[2] = {};
    clicks[0].type = INPUT_MOUSE;
    clicks[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    clicks[1] = clicks[0];
    clicks[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, clicks, sizeof(INPUT));
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

void WriteText(const std::string& path, const char* text) {
    std::ofstream(path, std::ios::trunc) << text;
}

// Sets a variable of this process's environment, which the saver started next inherits; an empty
// value removes it.
void SetVariable(const char* name, const char* value) {
    _putenv((std::string(name) + "=" + value).c_str());
}

LRESULT CALLBACK PlainWindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, msg, wParam, lParam);
}

// Runs the saver as its own process and makes sure none outlives its test.
class SaverProcess : public ::testing::Test {
  protected:
    void SetUp() override {
        saver_ = SaverPath();
        ASSERT_NE(GetFileAttributesA(saver_.c_str()), INVALID_FILE_ATTRIBUTES)
            << saver_ << " is missing";
        // A Windows 98 setting left behind by an aborted run would change every mode.
        ClearWineSettings();
        WNDCLASSA wc = {};
        wc.lpfnWndProc = PlainWindowProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "RippleFieldScrTest";
        RegisterClassA(&wc);
    }

    void TearDown() override {
        SetVariable("RIPPLEFIELD_PRESENT", "");
        SetVariable("RIPPLEFIELD_FREEZE", "");
        for (HANDLE process : started_) {
            if (!Ended(process)) {
                TerminateProcess(process, 99);
                WaitPumping(process, 10000);
            }
            CloseHandle(process);
        }
        for (HWND window : windows_) {
            if (IsWindow(window)) {
                DestroyWindow(window);
            }
        }
        PumpMessagesFor(0);
    }

    static void ClearWineSettings() {
        SetWineDllOverrideFor(kSaverFile, nullptr, nullptr);
        SetWineVersionFor(kSaverFile, nullptr);
    }

    // Starts the saver with that command-line tail; the process id is returned through id.
    HANDLE Start(const std::string& tail, DWORD* id = nullptr) {
        return StartFrom(saver_, tail, id);
    }

    HANDLE StartFrom(const std::string& program, const std::string& tail, DWORD* id = nullptr) {
        PROCESS_INFORMATION process;
        const std::string line = "\"" + program + "\"" + (tail.empty() ? "" : " " + tail);
        if (!StartProgram(line, &process)) {
            ADD_FAILURE() << "could not start " << line;
            return nullptr;
        }
        started_.push_back(process.hProcess);
        if (id != nullptr) {
            *id = process.dwProcessId;
        }
        return process.hProcess;
    }

    // The exit code, once the process has ended; a failure when it does not end in time.
    static DWORD ExitCode(HANDLE process) {
        DWORD code = 12345;
        EXPECT_TRUE(WaitPumping(process, kEndMs)) << "the saver did not end";
        GetExitCodeProcess(process, &code);
        return code;
    }

    // The shown full-screen window of that process once it is in the foreground, where keys
    // reach it; nullptr when it is not.
    static HWND WaitForFullScreen(DWORD id) {
        HWND found = nullptr;
        const bool shown = WaitUntil(
            [&] {
                const std::vector<HWND> all =
                    TopLevelWindows(id, kSaverClass, kFullScreenTitle, true);
                found = all.empty() ? nullptr : all.front();
                return found != nullptr;
            },
            kStartMs);
        if (!shown) {
            ADD_FAILURE() << "no shown window of class " << kSaverClass << " titled \""
                          << kFullScreenTitle << "\"";
            return nullptr;
        }
        if (!WaitUntil([&] { return GetForegroundWindow() == found; }, kStartMs)) {
            ADD_FAILURE() << "the saver window was not brought to the foreground";
            return nullptr;
        }
        return found;
    }

    // A top-level window of the test's own that never takes activation from a running saver.
    HWND MakeWindow(bool shown) {
        HWND window = CreateWindowExA(WS_EX_NOACTIVATE, "RippleFieldScrTest", "Display settings",
                                      WS_OVERLAPPED | WS_CAPTION, 100, 100, 260, 220, nullptr,
                                      nullptr, GetModuleHandleA(nullptr), nullptr);
        windows_.push_back(window);
        if (shown) {
            ShowWindow(window, SW_SHOWNOACTIVATE);
        }
        return window;
    }

    std::string saver_;
    std::vector<HANDLE> started_;
    std::vector<HWND> windows_;
};

using ScrFullScreen = SaverProcess;
using ScrPreview = SaverProcess;
using ScrCommandLine = SaverProcess;
using ScrConfigurationDialog = SaverProcess;

} // namespace

TEST_F(ScrFullScreen, OpensOneTopmostScreenSizedWindowAndEndsOnAKey) {
    DWORD id = 0;
    HANDLE saver = Start("/s", &id);
    ASSERT_NE(saver, nullptr);
    HWND window = WaitForFullScreen(id);
    ASSERT_NE(window, nullptr);

    EXPECT_NE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    RECT rect;
    GetWindowRect(window, &rect);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(rect.bottom, GetSystemMetrics(SM_CYSCREEN));
    EXPECT_EQ(TopLevelWindows(id, kSaverClass, nullptr, false).size(), 1u);

    PressKey();
    EXPECT_EQ(ExitCode(saver), 0u);
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(ScrFullScreen, SecondStartDefersToTheRunningOne) {
    DWORD firstId = 0;
    HANDLE first = Start("/s", &firstId);
    ASSERT_NE(first, nullptr);
    HWND window = WaitForFullScreen(firstId);
    ASSERT_NE(window, nullptr);

    HANDLE second = Start("-S");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(ExitCode(second), 0u);
    EXPECT_FALSE(Ended(first)) << "the running saver ended too";
    const std::vector<HWND> savers = TopLevelWindows(0, kSaverClass, kFullScreenTitle, false);
    ASSERT_EQ(savers.size(), 1u);
    EXPECT_EQ(savers.front(), window);

    // The running one still closes on input: a mouse button this time.
    ClickMouse();
    EXPECT_EQ(ExitCode(first), 0u);
}

TEST_F(ScrPreview, FillsTheParentsClientAreaAndEndsWithIt) {
    HWND parent = MakeWindow(true);
    DWORD id = 0;
    HANDLE saver = Start("/p " + HandleText(parent), &id);
    ASSERT_NE(saver, nullptr);
    HWND preview = nullptr;
    // Pumping matters here: the saver's child sends messages to this thread's parent window.
    WaitUntil(
        [&] {
            preview = FindWindowExA(parent, nullptr, kSaverClass, "Preview");
            return preview != nullptr && IsWindowVisible(preview);
        },
        kStartMs);
    ASSERT_NE(preview, nullptr) << "no preview child in the parent";
    EXPECT_EQ(ProcessOf(preview), id);
    EXPECT_NE(GetWindowLongA(preview, GWL_STYLE) & WS_CHILD, 0);

    RECT parentClient;
    RECT previewClient;
    GetClientRect(parent, &parentClient);
    GetClientRect(preview, &previewClient);
    EXPECT_EQ(previewClient.right, parentClient.right);
    EXPECT_EQ(previewClient.bottom, parentClient.bottom);
    POINT origin = {0, 0};
    ClientToScreen(parent, &origin);
    RECT previewWindow;
    GetWindowRect(preview, &previewWindow);
    EXPECT_EQ(previewWindow.left, origin.x);
    EXPECT_EQ(previewWindow.top, origin.y);
    EXPECT_EQ(previewWindow.right, origin.x + parentClient.right);
    EXPECT_EQ(previewWindow.bottom, origin.y + parentClient.bottom);
    EXPECT_FALSE(Ended(saver));

    DestroyWindow(parent);
    EXPECT_EQ(ExitCode(saver), 0u);
}

TEST_F(ScrCommandLine, NamingNoModeOrNoWindowEndsWithMinusOneAndShowsNothing) {
    HWND gone = MakeWindow(false);
    DestroyWindow(gone);
    ASSERT_FALSE(IsWindow(gone));
    const std::vector<std::string> tails = {
        "/p " + HandleText(gone), "/p", "/p 0", "/p:1234", "/x", "/5", "/a",
    };
    // They show nothing, so they may all run at once.
    std::vector<HANDLE> processes;
    std::vector<DWORD> ids;
    for (const std::string& tail : tails) {
        DWORD id = 0;
        processes.push_back(Start(tail, &id));
        ids.push_back(id);
        ASSERT_NE(processes.back(), nullptr);
    }
    std::set<size_t> showed;
    const bool allEnded = WaitUntil(
        [&] {
            bool all = true;
            for (size_t i = 0; i < processes.size(); ++i) {
                if (!TopLevelWindows(ids[i], nullptr, nullptr, true).empty()) {
                    showed.insert(i);
                }
                all = all && Ended(processes[i]);
            }
            return all;
        },
        2 * kEndMs);
    EXPECT_TRUE(allEnded);
    for (size_t i = 0; i < processes.size(); ++i) {
        DWORD code = 0;
        GetExitCodeProcess(processes[i], &code);
        EXPECT_EQ(code, kNoMode) << "command line tail \"" << tails[i] << "\"";
        EXPECT_EQ(showed.count(i), 0u) << "\"" << tails[i] << "\" showed a window";
    }
}

namespace {

// The configuration dialog of that process, once it is shown; nullptr when it is not.
HWND WaitForDialog(DWORD id) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            const std::vector<HWND> all = TopLevelWindows(id, "#32770", "RippleField", true);
            found = all.empty() ? nullptr : all.front();
            return found != nullptr;
        },
        kStartMs);
    return found;
}

} // namespace

TEST_F(ScrConfigurationDialog, EndsWithOneOnOkAndZeroOnCancel) {
    struct Case {
        const char* tail;
        WORD button;
        DWORD exitCode;
    };
    const Case cases[] = {{"/c", IDOK, 1}, {"/c", IDCANCEL, 0}, {"", IDOK, 1}, {"", IDCANCEL, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("command line tail \"") + c.tail + "\"");
        DWORD id = 0;
        HANDLE saver = Start(c.tail, &id);
        ASSERT_NE(saver, nullptr);
        HWND dialog = WaitForDialog(id);
        ASSERT_NE(dialog, nullptr) << "no dialog";
        if (c.tail[0] == '\0') {
            EXPECT_EQ(GetWindow(dialog, GW_OWNER), nullptr) << "an empty line has no owner";
        }
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(c.button, BN_CLICKED), 0);
        EXPECT_EQ(ExitCode(saver), c.exitCode);
    }
}

TEST_F(ScrConfigurationDialog, IsOwnedByTheWindowAfterTheColonElseByTheForegroundOne) {
    HWND named = MakeWindow(false);
    // The foreground window, standing for the display settings that start the dialog.
    HWND front =
        CreateWindowExA(0, "RippleFieldScrTest", "Desktop", WS_OVERLAPPED | WS_CAPTION, 150, 150,
                        200, 150, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    windows_.push_back(front);
    ShowWindow(front, SW_SHOW);
    SetForegroundWindow(front);
    ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == front; }, 5000));
    struct Case {
        std::string tail;
        HWND owner;
    };
    const Case cases[] = {{"/c:" + HandleText(named), named}, {"/c", front}, {"/c:0", front}};
    for (const Case& c : cases) {
        SCOPED_TRACE("command line tail \"" + c.tail + "\"");
        DWORD id = 0;
        HANDLE saver = Start(c.tail, &id);
        ASSERT_NE(saver, nullptr);
        HWND dialog = WaitForDialog(id);
        ASSERT_NE(dialog, nullptr) << "no dialog";
        EXPECT_EQ(GetWindow(dialog, GW_OWNER), c.owner);
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        EXPECT_EQ(ExitCode(saver), 1u);
        // The next case needs it in front again.
        SetForegroundWindow(front);
        WaitUntil([&] { return GetForegroundWindow() == front; }, 5000);
    }
}

namespace {

// A copy of the saver that Wine shows Windows 98, in a folder of its own with the stand-in
// "PASSWORD.CPL" and "MPR.DLL" beside it. Every setting it needs is undone afterwards.
class ScrOnWindows98 : public SaverProcess {
  protected:
    void SetUp() override {
        SaverProcess::SetUp();
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        folder_ = std::string(temp) + "ripplefield_scr98_" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(folder_.c_str(), nullptr);
        folder_ += "\\";
        const std::string standIns = ProgramFolder() + "scr98\\";
        // The copy keeps its file name: Wine's per-program settings are keyed on it.
        ASSERT_TRUE(CopyFileA(saver_.c_str(), (folder_ + kSaverFile).c_str(), FALSE));
        for (const char* file : {"PASSWORD.CPL", "MPR.DLL"}) {
            ASSERT_TRUE(CopyFileA((standIns + file).c_str(), (folder_ + file).c_str(), FALSE))
                << file;
        }
        SetWineVersionFor(kSaverFile, "win98");
    }

    void TearDown() override {
        SaverProcess::TearDown();
        RemoveUsePassword();
        ClearWineSettings();
        for (const char* file :
             {kSaverFile, "PASSWORD.CPL", "MPR.DLL", "verdict.txt", "calls.txt", "mpr_calls.txt"}) {
            DeleteFileA((folder_ + file).c_str());
        }
        RemoveDirectoryA(folder_.c_str());
    }

    HANDLE StartCopy(const std::string& tail, DWORD* id = nullptr) {
        return StartFrom(folder_ + kSaverFile, tail, id);
    }

    std::string folder_;
};

} // namespace

TEST_F(ScrOnWindows98, RefusedPasswordKeepsItRunningAndAcceptedOneClosesIt) {
    SetUsePassword(1);
    WriteText(folder_ + "verdict.txt", "0");
    DWORD id = 0;
    HANDLE saver = StartCopy("/s", &id);
    ASSERT_NE(saver, nullptr);
    HWND window = WaitForFullScreen(id);
    ASSERT_NE(window, nullptr);
    const std::string calls = folder_ + "calls.txt";

    PressKey();
    ASSERT_TRUE(WaitUntil([&] { return !ReadLines(calls).empty(); }, kEndMs))
        << "the verifier was not asked";
    // A second question comes only after the first was answered, so the saver outlived a refusal.
    // (The verifier answers late under the emulator: the verdict may change only after that.)
    const bool askedAgain = WaitUntil(
        [&] {
            if (ReadLines(calls).size() >= 2 || Ended(saver)) {
                return true;
            }
            PressKey();
            PumpMessagesFor(1000);
            return false;
        },
        kEndMs);
    ASSERT_FALSE(Ended(saver)) << "a refused password closed the saver";
    ASSERT_TRUE(askedAgain) << "the verifier was not asked again";
    EXPECT_TRUE(IsWindow(window));

    // Past the re-ask guard, an accepted password lets the next input close it.
    WriteText(folder_ + "verdict.txt", "1");
    PumpMessagesFor(500);
    PressKey();
    EXPECT_EQ(ExitCode(saver), 0u);
    // Every question came with the saver window.
    for (const std::string& line : ReadLines(calls)) {
        EXPECT_EQ(line, HandleText(window));
    }
}

TEST_F(ScrOnWindows98, ChangePasswordCallsTheSystemModuleWithTheWindow) {
    // Without the override Wine takes its built-in "MPR.DLL" over the one beside the program.
    SetWineDllOverrideFor(kSaverFile, "mpr", "native,builtin");
    HWND owner = MakeWindow(false);
    HANDLE saver = StartCopy("/a " + HandleText(owner));
    ASSERT_NE(saver, nullptr);
    EXPECT_EQ(ExitCode(saver), 0u);
    const std::vector<std::string> lines = ReadLines(folder_ + "mpr_calls.txt");
    ASSERT_EQ(lines.size(), 1u) << "PwdChangePasswordA was not called once";
    EXPECT_EQ(lines[0], "SCRSAVE " + HandleText(owner) + " 0 0");
}

namespace {

int Red(DWORD p) {
    return (p >> 16) & 0xFF;
}
int Green(DWORD p) {
    return (p >> 8) & 0xFF;
}
int Blue(DWORD p) {
    return p & 0xFF;
}

// The clear colour (0, 0, 0.1) in 8 bits.
bool IsBackground(DWORD p) {
    return Red(p) == 0 && Green(p) == 0 && (Blue(p) == 25 || Blue(p) == 26);
}

// The colour ramp runs from dark red (0.4, 0, 0) to pale pink; red always leads.
bool IsRampColour(DWORD p) {
    return Red(p) >= 100 && Red(p) >= Green(p) && Green(p) >= Blue(p);
}

enum class RowKind { Background, Band, Other };

RowKind KindOfRow(const Screenshot& shot, int y) {
    bool allBackground = true;
    bool allRamp = true;
    for (int x = 0; x < shot.width; ++x) {
        allBackground = allBackground && IsBackground(shot.At(x, y));
        allRamp = allRamp && IsRampColour(shot.At(x, y));
    }
    return allBackground ? RowKind::Background : allRamp ? RowKind::Band : RowKind::Other;
}

// The ripples are on the screen: the middle row, which the band always covers, shows many ramp
// colours, and the first and last rows are strip or band (not the black of the unpainted window,
// which a capture taken in the middle of the first frame's transfer still shows in part).
bool ShowsPicture(const Screenshot& shot) {
    std::set<DWORD> colours;
    const int y = shot.height / 2;
    for (int x = 0; x < shot.width; ++x) {
        colours.insert(shot.At(x, y));
    }
    return KindOfRow(shot, y) == RowKind::Band && colours.size() >= 8 &&
           KindOfRow(shot, 0) != RowKind::Other &&
           KindOfRow(shot, shot.height - 1) != RowKind::Other;
}

// Background strips at the top and bottom, of equal height up to the band's rounding and at most
// 15 % of the screen, with the band of many colours between them.
void ExpectLetterboxedBand(const Screenshot& shot) {
    std::vector<RowKind> rows;
    for (int y = 0; y < shot.height; ++y) {
        rows.push_back(KindOfRow(shot, y));
    }
    int top = 0;
    while (top < shot.height && rows[top] == RowKind::Background) {
        ++top;
    }
    int bottom = 0;
    while (bottom < shot.height - top && rows[shot.height - 1 - bottom] == RowKind::Background) {
        ++bottom;
    }
    std::set<DWORD> colours;
    for (int y = top; y < shot.height - bottom; ++y) {
        ASSERT_EQ(rows[y], RowKind::Band)
            << "row " << y << " between strips of " << top << " and " << bottom
            << " rows is not all band colours; pixel 0 is 0x" << std::hex << shot.At(0, y);
        for (int x = 0; x < shot.width; x += 3) {
            colours.insert(shot.At(x, y));
        }
    }
    EXPECT_LE(std::abs(top - bottom), 2) << "top strip " << top << ", bottom strip " << bottom;
    EXPECT_LE(top, shot.height * 15 / 100 + 2);
    EXPECT_LE(bottom, shot.height * 15 / 100 + 2);
    EXPECT_GE(colours.size(), 16u);
}

} // namespace

// With GL, with the picture on the processor (auto's choice under llvmpipe, and the only one where
// the display offers no GL: scr_tests runs this case again on an Xvfb without GLX), and with values
// it cannot take, which fall back to auto and to the running clock: the band moves between its
// strips, and a key ends the saver with 0.
TEST_F(ScrFullScreen, ScreenShowsTheMovingBandWhateverTheSettings) {
    const struct {
        const char* present;
        const char* freeze;
    } cases[] = {{"gl", ""}, {"", ""}, {"vulkan", ""}, {"", "7"}, {"image", "1,99999999999"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("RIPPLEFIELD_PRESENT=") + c.present +
                     " RIPPLEFIELD_FREEZE=" + c.freeze);
        SetVariable("RIPPLEFIELD_PRESENT", c.present);
        SetVariable("RIPPLEFIELD_FREEZE", c.freeze);
        DWORD id = 0;
        HANDLE saver = Start("/s", &id);
        ASSERT_NE(saver, nullptr);
        ASSERT_NE(WaitForFullScreen(id), nullptr);

        ASSERT_TRUE(WaitUntil([] { return ShowsPicture(CaptureScreen()); }, kStartMs))
            << "no ripples on the screen";
        PumpMessagesFor(1500); // let it run for a while
        // Whole frames only: under the emulator a capture often lands while one is on its way.
        Screenshot first;
        ASSERT_TRUE(WaitUntil(
            [&] {
                first = CaptureScreen();
                return ShowsPicture(first);
            },
            kStartMs));
        Screenshot later;
        ASSERT_TRUE(WaitUntil(
            [&] {
                later = CaptureScreen();
                return later.pixels != first.pixels && ShowsPicture(later);
            },
            kStartMs))
            << "the picture does not move";
        ExpectLetterboxedBand(first);
        ExpectLetterboxedBand(later);
        EXPECT_FALSE(Ended(saver));

        PressKey();
        EXPECT_EQ(ExitCode(saver), 0u);
    }
}

namespace {

// The memory a process has committed for itself, as the system's own books show it (what
// Windows reports as its page-file usage). Wine reports the Linux process's anonymous pages
// instead, which under qemu's user-mode emulator count the emulator's work and buffers that the
// GL driver made for the window but never used.
SIZE_T CommittedPrivateBytes(HANDLE process) {
    SIZE_T bytes = 0;
    MEMORY_BASIC_INFORMATION region;
    const char* at = nullptr;
    while (VirtualQueryEx(process, at, &region, sizeof region) == sizeof region) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) {
            bytes += region.RegionSize;
        }
        const char* next = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
        if (next <= at) {
            break; // the top of the address space
        }
        at = next;
    }
    return bytes;
}

} // namespace

TEST_F(ScrPreview, InAParentTooLargeToDrawKeepsRunningAndEndsWithIt) {
    // 16000 x 16000 pixels: more than a 32-bit process can hold colour buffers for. A popup is
    // not cut down to the screen's size.
    HWND parent =
        CreateWindowExA(WS_EX_NOACTIVATE, "RippleFieldScrTest", "Display settings", WS_POPUP, 0, 0,
                        16000, 16000, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    windows_.push_back(parent);
    ShowWindow(parent, SW_SHOWNOACTIVATE);
    RECT client;
    GetClientRect(parent, &client);
    ASSERT_EQ(client.right, 16000);
    ASSERT_EQ(client.bottom, 16000);
    // The same saver in a parent of an ordinary size is the yardstick.
    HWND smallParent = MakeWindow(true);
    HANDLE saver = Start("/p " + HandleText(parent));
    HANDLE yardstick = Start("/p " + HandleText(smallParent));
    ASSERT_NE(saver, nullptr);
    ASSERT_NE(yardstick, nullptr);
    // A preview is shown once its creation, which sizes the view's buffers, is over.
    const auto shown = [](HWND inside) {
        HWND preview = FindWindowExA(inside, nullptr, kSaverClass, "Preview");
        return preview != nullptr && IsWindowVisible(preview);
    };
    WaitUntil([&] { return (shown(parent) && shown(smallParent)) || Ended(saver); }, kStartMs);
    ASSERT_TRUE(shown(parent)) << "no preview child in the parent";
    ASSERT_TRUE(shown(smallParent)) << "no preview child in the small parent";
    PumpMessagesFor(2000); // frames are due in both
    ASSERT_FALSE(Ended(saver)) << "the saver ended while the parent was still there";
    ASSERT_FALSE(Ended(yardstick));
    // The cell texture alone of a 16000 x 16000 view takes 28 MB; the small view's, a few kB.
    const SIZE_T large = CommittedPrivateBytes(saver);
    const SIZE_T small = CommittedPrivateBytes(yardstick);
    EXPECT_LT(large, small + (16u << 20)) << "buffers for the view were allocated";

    DestroyWindow(parent);
    DestroyWindow(smallParent);
    EXPECT_EQ(ExitCode(saver), 0u);
    EXPECT_EQ(ExitCode(yardstick), 0u);
}
