// x_support.cpp -- private X servers, programs and pixels for the display mode's tests.
#include "x_support.h"

#include <X11/Xutil.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

double SteadyMs() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
    const double end = SteadyMs() + timeoutMs;
    for (;;) {
        if (condition()) {
            return true;
        }
        if (SteadyMs() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

::testing::AssertionResult StartXvfb(const std::vector<std::string>& screens,
                                     PrivateXServer* server,
                                     const std::vector<std::string>& extra) {
    int ready[2];
    if (pipe(ready) != 0) {
        return ::testing::AssertionFailure() << "pipe: " << std::strerror(errno);
    }
    std::vector<std::string> args = {
        "Xvfb", "-displayfd", std::to_string(ready[1]), "-br", "-nolisten", "tcp", "-noreset"};
    for (size_t i = 0; i < screens.size(); ++i) {
        args.insert(args.end(), {"-screen", std::to_string(i), screens[i]});
    }
    args.insert(args.end(), extra.begin(), extra.end());
    const pid_t pid = fork();
    if (pid == 0) {
        close(ready[0]);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        std::vector<char*> argv;
        for (std::string& a : args) {
            argv.push_back(&a[0]);
        }
        argv.push_back(nullptr);
        execvp("Xvfb", argv.data());
        _exit(127);
    }
    close(ready[1]);
    server->pid = pid;
    std::string number;
    pollfd fd = {ready[0], POLLIN, 0};
    const double end = SteadyMs() + kPatientMs;
    while (number.find('\n') == std::string::npos && SteadyMs() < end) {
        if (poll(&fd, 1, 100) > 0) {
            char buffer[16];
            const ssize_t n = read(ready[0], buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            number.append(buffer, static_cast<size_t>(n));
        }
    }
    close(ready[0]);
    if (number.find('\n') == std::string::npos) {
        StopXvfb(server);
        return ::testing::AssertionFailure() << "Xvfb did not start (is it installed?)";
    }
    server->display = ":" + number.substr(0, number.find('\n'));
    return ::testing::AssertionSuccess();
}

void StopXvfb(PrivateXServer* server) {
    if (server->pid > 0) {
        kill(server->pid, SIGTERM);
        waitpid(server->pid, nullptr, 0);
        server->pid = -1;
    }
}

RunningProgram StartProgram(const std::vector<std::string>& argv,
                            const std::vector<std::string>& set,
                            const std::vector<std::string>& unset, bool inherit,
                            const std::string& stderrFile) {
    std::vector<std::string> env;
    for (char** e = inherit ? environ : nullptr; e != nullptr && *e != nullptr; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        bool drop = false;
        for (const std::string& u : unset) {
            drop = drop || u == name;
        }
        for (const std::string& s : set) {
            drop = drop || s.substr(0, s.find('=')) == name;
        }
        if (!drop) {
            env.push_back(entry);
        }
    }
    env.insert(env.end(), set.begin(), set.end());
    int errors[2];
    RunningProgram program;
    if (pipe(errors) != 0) {
        return program;
    }
    program.pid = fork();
    if (program.pid == 0) {
        close(errors[0]);
        if (stderrFile.empty()) {
            dup2(errors[1], 2);
        } else {
            dup2(open(stderrFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644), 2);
        }
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        std::vector<std::string> args = argv;
        std::vector<char*> argp;
        std::vector<char*> envp;
        for (std::string& a : args) {
            argp.push_back(&a[0]);
        }
        for (std::string& e : env) {
            envp.push_back(&e[0]);
        }
        argp.push_back(nullptr);
        envp.push_back(nullptr);
        execve(argp[0], argp.data(), envp.data());
        _exit(127);
    }
    close(errors[1]);
    program.stderrPipe = errors[0];
    return program;
}

bool WaitForExit(RunningProgram* program, int timeoutMs, int* status) {
    const double end = SteadyMs() + timeoutMs;
    for (;;) {
        const pid_t done = waitpid(program->pid, status, WNOHANG);
        if (done == program->pid) {
            program->pid = -1;
            return true;
        }
        if (SteadyMs() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void KillProgram(RunningProgram* program) {
    if (program->pid > 0) {
        kill(program->pid, SIGKILL);
        waitpid(program->pid, nullptr, 0);
        program->pid = -1;
    }
    if (program->stderrPipe >= 0) {
        close(program->stderrPipe);
        program->stderrPipe = -1;
    }
}

std::string ReadStderr(RunningProgram* program) {
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = read(program->stderrPipe, buffer, sizeof buffer)) > 0) {
        text.append(buffer, static_cast<size_t>(n));
    }
    close(program->stderrPipe);
    program->stderrPipe = -1;
    return text;
}

Snapshot TakeSnapshot(Display* display, Window window, int x, int y, int width, int height) {
    Snapshot shot;
    XImage* image = XGetImage(display, window, x, y, width, height, AllPlanes, ZPixmap);
    if (image == nullptr) {
        return shot;
    }
    shot.width = width;
    shot.height = height;
    shot.pixels.resize(static_cast<size_t>(width) * height);
    for (int row = 0; row < height; ++row) {
        for (int col = 0; col < width; ++col) {
            const unsigned long p = XGetPixel(image, col, row);
            shot.pixels[static_cast<size_t>(row) * width + col] =
                Rgb{static_cast<unsigned char>((p & image->red_mask) >> 16),
                    static_cast<unsigned char>((p & image->green_mask) >> 8),
                    static_cast<unsigned char>(p & image->blue_mask)};
        }
    }
    XDestroyImage(image);
    return shot;
}

bool IsClearColour(const Rgb& p) {
    return p.r == 0 && p.g == 0 && (p.b == 25 || p.b == 26);
}

bool IsFieldColour(const Rgb& p) {
    return p.r >= 100 && p.r > p.g && p.r > p.b; // red is at least 0.4 of full
}

Window MakeWindow(Display* display, int x, int y, int width, int height, unsigned long pixel) {
    const Window window =
        XCreateSimpleWindow(display, DefaultRootWindow(display), x, y, width, height, 0, 0, pixel);
    XMapWindow(display, window);
    XSync(display, False);
    return window;
}

std::string WindowIdText(Window window) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%lx", window);
    return text;
}
