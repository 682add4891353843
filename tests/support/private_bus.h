#pragma once
// A private D-Bus daemon standing in for the system bus: any user may reach
// it, and DBUS_SYSTEM_BUS_ADDRESS names it while the object lives. The
// UDisks2 stand-in (tests/tools/udisks-standin) can be started on it.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/test_images.h"

namespace quillo::test {

class PrivateSystemBus {
public:
    PrivateSystemBus() {
        const std::string config = dir_.File("bus.conf");
        std::ofstream(config) << "<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen>"
                                 "<auth>EXTERNAL</auth><policy context=\"default\"><allow user=\"*\"/>"
                                 "<allow own=\"*\"/><allow send_destination=\"*\"/>"
                                 "<allow receive_sender=\"*\"/></policy></busconfig>";
        address_ = Start({"dbus-daemon", "--config-file=" + config, "--nofork", "--print-address=1"});
        if (const char* old = std::getenv("DBUS_SYSTEM_BUS_ADDRESS")) saved_ = old, hadSaved_ = true;
        if (!address_.empty()) setenv("DBUS_SYSTEM_BUS_ADDRESS", address_.c_str(), 1);
    }
    ~PrivateSystemBus() {
        for (pid_t pid : children_) {
            ::kill(pid, SIGTERM);
            ::waitpid(pid, nullptr, 0);
        }
        if (hadSaved_) setenv("DBUS_SYSTEM_BUS_ADDRESS", saved_.c_str(), 1);
        else unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    }
    PrivateSystemBus(const PrivateSystemBus&) = delete;
    PrivateSystemBus& operator=(const PrivateSystemBus&) = delete;

    bool Running() const { return !address_.empty(); }
    const std::string& address() const { return address_; }

    // The stand-in serving `entries` ("DEVICE=FILE[,label=L][,fixed][,mounted=P][,busy]");
    // true once it owns its name.
    bool StartUdisks(const std::vector<std::string>& entries) {
        std::vector<std::string> argv{"/usr/bin/python3", std::string(QUILLO_TOOLS_DIR) + "/udisks-standin",
                                      OpenLogPath()};
        argv.insert(argv.end(), entries.begin(), entries.end());
        return Start(argv) == "ready";
    }
    // "DEVICE MODE excl|shared", one line per OpenDevice the stand-in served.
    std::string OpenLog() const {
        std::string text;
        RunCommand("cat " + ShellQuote(OpenLogPath()) + " 2>/dev/null", &text);
        return text;
    }

private:
    std::string OpenLogPath() const { return dir_.File("open.log"); }

    // Starts `argv` and returns the first line it prints (within ten seconds).
    std::string Start(const std::vector<std::string>& argv) {
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0) return "";
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::dup2(out[1], 1);
            std::vector<char*> args;
            for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            ::execvp(args[0], args.data());
            ::_exit(127);
        }
        ::close(out[1]);
        if (pid > 0) children_.push_back(pid);
        std::string line;
        pollfd ready{out[0], POLLIN, 0};
        char c = 0;
        while (::poll(&ready, 1, 10000) == 1 && ::read(out[0], &c, 1) == 1 && c != '\n') line += c;
        ::close(out[0]);
        return line;
    }

    TempDir dir_;
    std::string address_;
    std::vector<pid_t> children_;
    std::string saved_;
    bool hadSaved_ = false;
};

}  // namespace quillo::test
