// The window program: `quillo [--disk PATH]... [DRIVES]`.
#include <QApplication>

#include <cstdio>

#include "common/version.h"
#include "mainwindow/command_line.h"
#include "mainwindow/help_system.h"
#include "mainwindow/main_window.h"

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    const quillo::gui::CommandLine line = quillo::gui::ParseCommandLine(arguments);
    if (line.help) {
        std::fputs(quillo::gui::kUsage, stdout);
        return 0;
    }
    if (line.version) {
        std::fputs(quillo::VersionLine("quillo").c_str(), stdout);
        return 0;
    }
    if (line.listTopics) {
        for (const quillo::gui::HelpTopicEntry& topic : quillo::gui::HelpTopics())
            std::printf("%d\t%s\n", topic.context, qPrintable(topic.title));
        return 0;
    }
    if (!line.error.empty()) {
        std::fprintf(stderr, "quillo: %s\nTry 'quillo --help' for more information.\n", line.error.c_str());
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName("Quillo");
    // The desktop entry's name: what a Wayland compositor matches the window
    // and its icon by.
    QGuiApplication::setDesktopFileName(QUILLO_APP_ID);
    quillo::gui::NTQuilF window;
    window.FormLoad(line.disks, line.driveList);
    if (window.Ended()) return window.ExitStatus();
    for (const std::string& image : line.open) window.AttachDiskImage(image);
    return QApplication::exec();
}
