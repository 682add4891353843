#pragma once
// A shell command left running in the background for the length of a test
// (a process holding a file open, a second instance of a program), ended
// when the object goes away.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace quillo::test {

class BackgroundProcess {
public:
    explicit BackgroundProcess(const std::string& command) {
        pid_ = ::fork();
        if (pid_ == 0) {
            ::setpgid(0, 0);
            ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
    }
    ~BackgroundProcess() {
        if (pid_ <= 0) return;
        ::kill(-pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    BackgroundProcess(const BackgroundProcess&) = delete;
    BackgroundProcess& operator=(const BackgroundProcess&) = delete;
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
};

// Waits up to about five seconds for `path` to exist.
inline bool WaitForFile(const std::string& path) {
    for (int i = 0; i < 500; ++i) {
        if (::access(path.c_str(), F_OK) == 0) return true;
        ::usleep(10000);
    }
    return false;
}

}  // namespace quillo::test
