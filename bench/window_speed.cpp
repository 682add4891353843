// How the main window keeps answering during a Defragment:
//   quillo-window-speed IMAGE
// prints the time of a full map repaint of 32,000 cells, and the longest gap
// between two turns of the event loop during a Defragment of IMAGE with a
// resize of the window in the middle of it. Run it with XDG_CONFIG_HOME
// pointing at a scratch folder: the window remembers disks.
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "mainwindow/disk_map.h"
#include "mainwindow/main_window.h"
#include "mainwindow/progress_panel.h"

namespace {

double MedianMs(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: quillo-window-speed IMAGE\n");
        return 2;
    }
    QApplication app(argc, argv);
    quillo::gui::NTQuilF window(quillo::gui::ScriptedRunHooks());
    window.resize(1600, 1000);
    window.FormLoad({{argv[1], false}}, "");
    QApplication::processEvents();

    // A full repaint of a map of 32,000 cells in every category.
    quillo::gui::DiskMap& map = window.picMap();
    const QRect mapPlace = map.geometry();
    map.resize(1700, 1000);  // larger than the offscreen screen: a full 32,000-cell grid
    map.RecomputeGeometry();
    const int cells = map.Geometry().CellCount;
    std::vector<uint8_t> mapCells(static_cast<size_t>(cells) + 1);
    const uint8_t categories[] = {1, 4, 9, 10, 12, 14, 15};
    for (size_t i = 1; i < mapCells.size(); ++i) mapCells[i] = categories[(i * 7 + i / 13) % 7];
    quillo::gui::DiskMap::LegendConditions legend{true, true, false, 1};
    std::vector<double> repaint;
    for (int round = 0; round < 30; ++round) {
        QElapsedTimer timer;
        timer.start();
        map.RedrawMap(mapCells, legend);
        map.repaint();
        repaint.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::printf("map cells: %d (%d x %d, cell %d px)\n", cells, map.Geometry().CellsPerRow,
                map.Geometry().CellRows, map.Geometry().CellSize);
    std::printf("full map repaint: median %.2f ms, worst %.2f ms (30 rounds)\n", MedianMs(repaint),
                *std::max_element(repaint.begin(), repaint.end()));

    map.setGeometry(mapPlace);
    map.RecomputeGeometry();

    // The event loop's turns during a Defragment, with a resize half way.
    QElapsedTimer clock;
    qint64 last = 0, longest = 0, longestRedraw = 0, turns = 0;
    int moved = 0;
    bool resized = false;
    QTimer beat;
    beat.setInterval(0);
    QObject::connect(&beat, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (window.RunInProgress && !window.ctx().run.ScanFiles) {
            longestRedraw = std::max(longestRedraw, now - last);  // the map-only pass after the resize
        } else if (window.RunInProgress) {
            if (now - last > 40000000 && std::getenv("QUILLO_GAPS"))
                std::fprintf(stderr, "gap %.1f ms after %d moves, activity %s, log lines %zu\n", (now - last) / 1e6,
                             window.ctx().defrag.MovedCount, qPrintable(window.progressPanel().Activity()),
                             window.ctx().log.lines.size());
            longest = std::max(longest, now - last);
            moved = std::max(moved, window.ctx().defrag.MovedCount);
            ++turns;
            if (!resized && window.ctx().defrag.MovedCount > 200) {
                QElapsedTimer resizeTime;
                resizeTime.start();
                window.resize(1200, 800);
                QApplication::processEvents();
                std::printf("resize during the run: %.1f ms\n", resizeTime.nsecsElapsed() / 1e6);
                resized = true;
            }
        }
        last = now;
    });
    clock.start();
    beat.start();
    QElapsedTimer run;
    run.start();
    window.DefragCommand();
    const double seconds = run.nsecsElapsed() / 1e9;
    beat.stop();
    std::printf("defrag: %.2f s, %d files moved, resized during the run: %s, map redrawn after: %s\n", seconds,
                moved, resized ? "yes" : "no", window.ctx().run.ScanFiles ? "no" : "yes");
    std::printf("event-loop turns during the Defragment: %lld, longest gap between two: %.1f ms\n",
                static_cast<long long>(turns), longest / 1e6);
    std::printf("longest gap during the map-only redraw after it: %.1f ms\n", longestRedraw / 1e6);
    return 0;
}
