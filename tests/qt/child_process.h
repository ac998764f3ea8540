#pragma once
// A program that a desktop test starts beside itself (an X server, a bus, a window manager),
// started with fork and exec so that it can come up before Qt does. It is quiet (its output
// goes nowhere unless the test reads it), in a process group of its own, and it is told to
// end when the test process ends, however that ends: a test that a time limit cuts off
// leaves no server behind on a machine that others share.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/wait_until.h"

namespace tolvane::test {

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess() { stop(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts argv[0] (found on PATH) with `environment` ("NAME=value") added to the test's;
    // with readOutput its standard output comes to readLine. False when it cannot be forked.
    bool start(const std::vector<std::string>& argv, const std::vector<std::string>& environment = {},
               bool readOutput = false)
    {
        stop();
        int pipeFds[2] = {-1, -1};
        if (readOutput && ::pipe2(pipeFds, O_CLOEXEC) != 0) return false;
        const pid_t parent = ::getpid();
        pid_ = ::fork();
        if (pid_ == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            if (::getppid() != parent) ::_exit(127);  // the test ended before the signal was asked for
            const int null = ::open("/dev/null", O_RDWR);
            ::dup2(null, 0);
            ::dup2(readOutput ? pipeFds[1] : null, 1);
            ::dup2(null, 2);
            ::setpgid(0, 0);
            for (const std::string& variable : environment) ::putenv(const_cast<char*>(variable.c_str()));
            std::vector<char*> args;
            for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            ::execvp(args[0], args.data());
            ::_exit(127);
        }
        if (readOutput) {
            ::close(pipeFds[1]);
            out_ = pipeFds[0];
        }
        return pid_ > 0;
    }

    // The next line it writes on its standard output, waiting up to timeoutMs; "" when none
    // came (or it ended first).
    std::string readLine(int timeoutMs)
    {
        std::string line;
        pollfd readable{out_, POLLIN, 0};
        bool complete = false;
        waitUntil(
            [&] {
                char c = 0;
                while (!complete && ::poll(&readable, 1, 0) > 0 && ::read(out_, &c, 1) == 1) {
                    if (c == '\n')
                        complete = true;
                    else
                        line += c;
                }
                return complete || !running();
            },
            timeoutMs);
        return complete ? line : std::string();
    }

    bool running()
    {
        if (pid_ <= 0) return false;
        if (::waitpid(pid_, &status_, WNOHANG) == 0) return true;
        pid_ = 0;
        return false;
    }
    // How it ended (a waitpid status), once it has.
    int status() const { return status_; }
    pid_t pid() const { return pid_; }

    // SIGTERM, and SIGKILL if it has not ended 3 s later.
    void stop()
    {
        if (out_ >= 0) ::close(out_);
        out_ = -1;
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        if (!waitUntil([&] { return !running(); }, 3000)) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status_, 0);
        }
        pid_ = 0;
    }

private:
    pid_t pid_ = 0;
    int out_ = -1;
    int status_ = 0;
};

}  // namespace tolvane::test
