#pragma once
// The main window for the window tests: hooks that record what it would show
// or do (no message box, no bell, no exit), and private copies of images,
// each with a fresh option store.
#include <QString>
#include <QTimer>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "mainwindow/main_window.h"
#include "tests/support/test_images.h"

namespace quillo::test {

struct WindowRecorder {
    std::vector<std::pair<MessageStyle, QString>> messages;
    int beeps = 0;
    int ends = 0;

    gui::WindowHooks Hooks() {
        gui::WindowHooks hooks;
        hooks.showDelayMs = 0;
        hooks.showMessage = [this](MessageStyle style, const QString& text) { messages.push_back({style, text}); };
        hooks.beep = [this] { ++beeps; };
        hooks.endProgram = [this] { ++ends; };
        return hooks;
    }
};

// A window started over `disks` with the drive list `commandLine`.
struct StartedWindow {
    explicit StartedWindow(const std::vector<AttachedDisk>& disks, const std::string& commandLine = "") {
        window.FormLoad(disks, commandLine);
    }
    WindowRecorder recorder;
    gui::NTQuilF window{recorder.Hooks()};
};

// Calls `probe` once, at the first moment a run is executing.
inline void DuringRun(gui::NTQuilF& window, std::function<void()> probe) {
    auto* timer = new QTimer(&window);
    timer->setInterval(0);
    QObject::connect(timer, &QTimer::timeout, &window, [&window, timer, probe] {
        if (!window.RunInProgress) return;
        timer->stop();
        timer->deleteLater();
        probe();
    });
    timer->start();
}

// Files of one test program, and per case a fresh option store.
class WindowTestFiles {
public:
    // A new folder for XDG_CONFIG_HOME, so the case starts on a fresh store.
    std::string FreshConfig() {
        const std::string folder = File("config" + std::to_string(++round_));
        std::filesystem::create_directories(folder);
        setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
        return folder;
    }
    // A fresh store and a private copy of `image`.
    std::string Fresh(const std::string& image) {
        FreshConfig();
        const std::string copy = File("work.img", true);
        std::filesystem::copy_file(image, copy);
        return copy;
    }
    // A path in the test's folder, unique to this case when `perCase`.
    std::string File(const std::string& name, bool perCase = false) const {
        return dir_.File(perCase ? std::to_string(round_) + "-" + name : name);
    }

private:
    TempDir dir_;
    int round_ = 0;
};

}  // namespace quillo::test
