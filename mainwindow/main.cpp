// The window program: `quillo [--disk PATH]... [DRIVES]`.
#include <QApplication>

#include <cstdio>

#include "mainwindow/command_line.h"
#include "mainwindow/main_window.h"

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    const quillo::gui::CommandLine line = quillo::gui::ParseCommandLine(arguments);
    if (line.help) {
        std::fputs(quillo::gui::kUsage, stdout);
        return 0;
    }
    if (!line.error.empty()) {
        std::fprintf(stderr, "quillo: %s\n%s", line.error.c_str(), quillo::gui::kUsage);
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName("Quillo");
    quillo::gui::NTQuilF window;
    window.FormLoad(line.disks, line.driveList);
    if (window.Ended()) return window.ExitStatus();
    return QApplication::exec();
}
