// programs_posix.cpp -- programs, private X servers and waits for the tests, on POSIX.
#include "programs_posix.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
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

RunningProgram StartProgram(const std::vector<std::string>& argv, const ProgramOptions& options) {
    std::vector<std::string> env;
    for (char** e = options.inherit ? environ : nullptr; e != nullptr && *e != nullptr; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        bool drop = false;
        for (const std::string& u : options.unset) {
            drop = drop || u == name;
        }
        for (const std::string& s : options.set) {
            drop = drop || s.substr(0, s.find('=')) == name;
        }
        if (!drop) {
            env.push_back(entry);
        }
    }
    env.insert(env.end(), options.set.begin(), options.set.end());
    // Everything the child needs is made before the fork.
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
    int out[2] = {-1, -1};
    int err[2] = {-1, -1};
    RunningProgram program;
    if ((options.captureStdout && pipe2(out, O_CLOEXEC) != 0) ||
        (options.stderrFile.empty() && pipe2(err, O_CLOEXEC) != 0)) {
        for (const int fd : {out[0], out[1], err[0], err[1]}) {
            close(fd);
        }
        return program;
    }
    program.pid = fork();
    if (program.pid == 0) {
        const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
        dup2(options.captureStdout ? out[1] : null, 1);
        dup2(options.stderrFile.empty()
                 ? err[1]
                 : open(options.stderrFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644),
             2);
        if (options.addressSpace > 0) {
            const rlimit limit = {static_cast<rlim_t>(options.addressSpace),
                                  static_cast<rlim_t>(options.addressSpace)};
            setrlimit(RLIMIT_AS, &limit);
        }
        execvpe(argp[0], argp.data(), envp.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    program.stdoutPipe = out[0];
    program.stderrPipe = err[0];
    if (program.pid < 0) {
        KillProgram(&program);
    }
    return program;
}

bool WaitForExit(RunningProgram* program, int timeoutMs, int* exitCode) {
    const double end = SteadyMs() + timeoutMs;
    while (program->pid > 0) {
        int status = 0;
        if (waitpid(program->pid, &status, WNOHANG) == program->pid) {
            program->pid = -1;
            *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return true;
        }
        if (SteadyMs() > end) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

void SignalProgram(const RunningProgram& program, int signal) {
    if (program.pid > 0) {
        kill(program.pid, signal);
    }
}

void KillProgram(RunningProgram* program) {
    if (program->pid > 0) {
        kill(program->pid, SIGKILL);
        waitpid(program->pid, nullptr, 0);
        program->pid = -1;
    }
    for (int* fd : {&program->stdoutPipe, &program->stderrPipe}) {
        if (*fd >= 0) {
            close(*fd);
            *fd = -1;
        }
    }
}

// Appends what is there to read; false, with the pipe closed, at its end.
static bool ReadSome(int* fd, std::string* text) {
    char buffer[4096];
    const ssize_t n = read(*fd, buffer, sizeof buffer);
    if (n > 0) {
        text->append(buffer, static_cast<size_t>(n));
        return true;
    }
    close(*fd);
    *fd = -1;
    return false;
}

std::string ReadStderr(RunningProgram* program) {
    std::string text;
    while (program->stderrPipe >= 0 && ReadSome(&program->stderrPipe, &text)) {
    }
    return text;
}

ProgramRun FinishProgram(RunningProgram* program, int timeoutMs) {
    ProgramRun run;
    const double end = SteadyMs() + timeoutMs;
    int* fds[2] = {&program->stdoutPipe, &program->stderrPipe};
    std::string* texts[2] = {&run.out, &run.err};
    while ((*fds[0] >= 0 || *fds[1] >= 0) && SteadyMs() < end) {
        pollfd polled[2] = {{*fds[0], POLLIN, 0}, {*fds[1], POLLIN, 0}}; // -1 is passed over
        if (poll(polled, 2, 50) > 0) {
            for (int k = 0; k < 2; ++k) {
                if (polled[k].revents != 0) {
                    ReadSome(fds[k], texts[k]);
                }
            }
        }
    }
    const int left = static_cast<int>(std::max(0.0, end - SteadyMs()));
    if (!WaitForExit(program, left, &run.exitCode)) {
        run.exitCode = -1;
    }
    KillProgram(program);
    return run;
}

ProgramRun RunProgram(const std::vector<std::string>& argv, ProgramOptions options) {
    options.captureStdout = true;
    RunningProgram program = StartProgram(argv, options);
    return FinishProgram(&program);
}

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string word; in >> word;) {
        words.push_back(word);
    }
    return words;
}

::testing::AssertionResult StartXvfb(const std::vector<std::string>& screens,
                                     PrivateXServer* server,
                                     const std::vector<std::string>& extra) {
    int ready[2]; // not closed on exec: Xvfb writes its display number into it
    if (pipe(ready) != 0) {
        return ::testing::AssertionFailure() << "pipe: " << std::strerror(errno);
    }
    std::vector<std::string> args = {
        "Xvfb", "-displayfd", std::to_string(ready[1]), "-br", "-nolisten", "tcp", "-noreset"};
    for (size_t i = 0; i < screens.size(); ++i) {
        args.insert(args.end(), {"-screen", std::to_string(i), screens[i]});
    }
    args.insert(args.end(), extra.begin(), extra.end());
    ProgramOptions quiet;
    quiet.stderrFile = "/dev/null";
    server->program = StartProgram(args, quiet);
    close(ready[1]);
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
    int exitCode = 0;
    if (server->program.pid > 0) {
        kill(server->program.pid, SIGTERM); // so that it removes its lock file and socket
        WaitForExit(&server->program, kPatientMs, &exitCode);
    }
    KillProgram(&server->program);
}
