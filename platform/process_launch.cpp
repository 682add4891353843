#include "platform/process_launch.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace quillo {
namespace {

bool IsExecutableFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

// In the grandchild, between fork and exec: only async-signal-safe calls.
[[noreturn]] void ExecDetached(const char* path, char* const* argv, int devNull) {
    dup2(devNull, STDIN_FILENO);
    dup2(devNull, STDOUT_FILENO);
    dup2(devNull, STDERR_FILENO);
    close_range(3, ~0U, 0);  // nothing of ours leaks into the program
    execv(path, argv);
    _exit(127);
}

}  // namespace

std::string FindProgram(const std::string& name) {
    if (name.empty()) return {};
    if (name.find('/') != std::string::npos) return IsExecutableFile(name) ? name : std::string();
    const char* searchPath = std::getenv("PATH");
    // Debian keeps the file-system checkers in the system folders, which an
    // ordinary user's PATH leaves out.
    const std::string folders = std::string(searchPath != nullptr ? searchPath : "") + ":/usr/sbin:/sbin";
    size_t begin = 0;
    while (begin <= folders.size()) {
        size_t end = folders.find(':', begin);
        if (end == std::string::npos) end = folders.size();
        const std::string folder = end > begin ? folders.substr(begin, end - begin) : ".";
        const std::string candidate = folder + "/" + name;
        if (IsExecutableFile(candidate)) return candidate;
        begin = end + 1;
    }
    return {};
}

bool StartDetached(const std::vector<std::string>& argv) {
    if (argv.empty()) return false;
    const std::string path = FindProgram(argv[0]);
    if (path.empty()) return false;
    // Everything the children need is made before the fork.
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    const int devNull = open("/dev/null", O_RDWR | O_CLOEXEC);
    if (devNull < 0) return false;

    const pid_t child = fork();
    if (child == 0) {
        // A new session: its own process group, no controlling terminal, so
        // nothing sent to ours (Ctrl+C, hang-up) reaches the program.
        setsid();
        const pid_t grandchild = fork();
        if (grandchild == 0) ExecDetached(path.c_str(), args.data(), devNull);
        _exit(grandchild > 0 ? 0 : 1);
    }
    close(devNull);
    if (child < 0) return false;
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace quillo
