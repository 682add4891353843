// The map, legend, pie, gauge and size chart, checked on the pixels they draw.
#include <QtTest>

#include <map>

#include "analysis/size_chart.h"
#include "analysis/statistics.h"
#include "common/engine_state.h"
#include "mainwindow/disk_map.h"
#include "mainwindow/frag_gauge_view.h"
#include "mainwindow/free_space_pie.h"
#include "mainwindow/map_geometry.h"
#include "mainwindow/palette.h"
#include "mainwindow/size_chart_view.h"

using namespace quillo;
using namespace quillo::gui;

namespace {

QRgb Rgb(int r, int g, int b) { return qRgb(r, g, b) & 0xFFFFFF; }
QRgb At(const QImage& image, QPoint at) { return image.pixel(at) & 0xFFFFFF; }

const QRgb kBackground = PanelBackground(false).rgb() & 0xFFFFFF;
const QRgb kBlue = Rgb(0, 0, 255);
const QRgb kDarkBlue = Rgb(0, 0, 128);
const QRgb kWhite = Rgb(255, 255, 255);
const DiskMap::LegendConditions kDefrag{true, true, false, 1};
const DiskMap::LegendConditions kCheck{true, true, false, -1};

// The legend's entries left to right.
QList<int> LegendOrder(const DiskMap& map) {
    std::map<int, int> byX;
    for (int category : {kCellFixed, kCellFiles, kCellPartial, kCellEmpty, kCellFragments, kCellMoving, kCellTo})
        if (map.LegendX(category) >= 0) byX[map.LegendX(category)] = category;
    QList<int> order;
    for (const auto& [x, category] : byX) order << category;
    return order;
}

}  // namespace

class MapChartsTest : public QObject {
    Q_OBJECT

private slots:
    void geometryFollowsMapSize() {
        const struct { int cell, width, height, perRow, rows, count; } cases[] = {
            {5, 126, 136, 20, 20, 400}, {5, 40, 10, 20, 20, 400},  // never fewer than 20 x 20
            {5, 300 * 6 + 6, 120 * 6 + 16, 300, 120, 32000}, {4, 200, 150, 38, 26, 38 * 26}};
        for (const auto& c : cases) {
            const MapGeometry g = ComputeMapGeometry(c.cell, c.width, c.height);
            QVERIFY2(g.CellsPerRow == c.perRow && g.CellRows == c.rows && g.CellCount == c.count,
                     qPrintable(QString("%1 x %2").arg(c.width).arg(c.height)));
        }
        QCOMPARE(CellOrigin(ComputeMapGeometry(4, 200, 150), 38 + 3), QPoint(3 * 5 + 2, 5 + 13));
    }

    // Each cell is its category's tile, with one background pixel between
    // neighbours; cells larger than a tile continue the checkerboard.
    void paintedCellsShowTheirTiles() {
        DiskMap map;
        map.resize(200, 150);
        map.SetCellSize(5);
        map.PaintCell(0, kCellFiles);  // before the layout: nothing
        QCOMPARE(At(map.Canvas(), {2, 13}), kBackground);
        map.RecomputeGeometry();
        map.DrawLegend(kDefrag);
        map.PaintCell(3, kCellFixed);
        map.PaintCell(4, kCellPartial);
        const QPoint fixed = CellOrigin(map.Geometry(), 3), partial = CellOrigin(map.Geometry(), 4);
        for (int j = 0; j < 5; ++j) {
            for (int i = 0; i < 5; ++i) {
                QCOMPARE(At(map.Canvas(), fixed + QPoint(i, j)), (i + j) % 2 ? kDarkBlue : kBlue);
                QCOMPARE(At(map.Canvas(), partial + QPoint(i, j)), (i + j) % 2 ? kBlue : kWhite);
            }
            QCOMPARE(At(map.Canvas(), fixed + QPoint(5, j)), kBackground);
            QCOMPARE(At(map.Canvas(), fixed + QPoint(j, 5)), kBackground);
        }
        map.SetCellSize(8);
        map.RecomputeGeometry();
        map.PaintCell(0, kCellFixed);
        for (int i = 0; i < 8; ++i) QCOMPARE(At(map.Canvas(), CellOrigin(map.Geometry(), 0) + QPoint(i, 7)), i % 2 ? kBlue : kDarkBlue);
    }

    void legendEntriesFollowTheRun() {
        DiskMap map;
        map.resize(600, 200);
        map.DrawLegend(kCheck);
        QCOMPARE(LegendOrder(map), QList<int>({kCellFixed, kCellFiles, kCellPartial, kCellEmpty, kCellFragments}));
        const int files = map.LegendX(kCellFiles);  // the sample is the tile, at rows 3..7
        QVERIFY(At(map.LegendCanvas(), {files, 3}) == kBlue && At(map.LegendCanvas(), {files + 4, 7}) == kBlue);
        QCOMPARE(At(map.LegendCanvas(), {files, 8}), kBackground);
        map.DrawLegend(kDefrag);
        QCOMPARE(LegendOrder(map).mid(5), QList<int>({kCellMoving, kCellTo}));
        map.DrawLegend({false, false, false, -1});  // map only, no gaps
        QCOMPARE(LegendOrder(map), QList<int>({kCellFiles, kCellEmpty, kCellFragments}));
        QCOMPARE(map.LegendX(kCellFiles), 3);
    }

    void redrawMapPaintsEveryCellOrNothing() {
        DiskMap map;
        map.resize(200, 150);
        map.SetCellSize(4);
        map.RecomputeGeometry();
        map.PaintCell(5, kCellFiles);
        const QImage before = map.Canvas();
        map.RedrawMap({kCellFiles}, kCheck);  // no map yet
        QVERIFY(map.Canvas() == before && map.LegendX(kCellFiles) == -1);
        map.RedrawMap({kCellFiles, kCellNone, kCellFragments}, kCheck);
        QList<QRgb> cells;
        for (int cell : {0, 1, 2, 5}) cells << At(map.Canvas(), CellOrigin(map.Geometry(), cell) + QPoint(1, 1));
        QCOMPARE(cells, QList<QRgb>({kBlue, kBackground, Rgb(255, 0, 0), kBackground}));  // the old picture is gone
    }

    void pieShowsTheFreeShareCounterClockwise() {
        const struct { int64_t free, total; int percent; } figures[] = {
            {0, 100, 0}, {99999, 100000, 100}, {1, 8, 12}, {3, 8, 38}, {3, 200, 2}};  // halves to even
        for (const auto& f : figures)
            QCOMPARE(ComputePie(f.free, f.total).label, QString("Free %1%").arg(f.percent));
        QVERIFY(ComputePie(0, 0).noVolume && ComputePie(0, 0).label.isEmpty());

        FreeSpacePie pie;
        pie.resize(132, 150);
        pie.SetPie({37, 75, 27});
        const QPoint centre(37, 75);
        pie.Draw(25, 100);  // free: the upper right quarter
        QCOMPARE(At(pie.Canvas(), centre + QPoint(12, -12)), kWhite);
        QCOMPARE(At(pie.Canvas(), centre + QPoint(-12, -12)), kBlue);
        QCOMPARE(At(pie.Canvas(), centre + QPoint(12, 12)), kBlue);
        QVERIFY(pie.LabelRect().top() > centre.y());  // on the used half
        pie.Draw(0, 100);
        QCOMPARE(At(pie.Canvas(), centre + QPoint(0, -12)), kBlue);
        pie.Draw(100, 100);
        QCOMPARE(At(pie.Canvas(), centre + QPoint(-12, 12)), kWhite);
        QVERIFY(pie.LabelRect().bottom() < centre.y());
        QCOMPARE(At(pie.Canvas(), centre + QPoint(40, 0)), kBackground);  // outside the circle
    }

    void gaugeInnerBarAndCaption() {
        QWidget panel;  // a narrow pie panel: the caption shrinks rather than run off it
        panel.resize(132, 150);
        FragGaugeView gauge(&panel);
        gauge.SetBarSize(10, 64);
        gauge.move(68, 48);
        gauge.Show({true, 1, 4, "100% frag."});
        QCOMPARE(gauge.InnerBarRect(), QRect(2, 64 - 2 - 15, 6, 15));  // (64 - 4) x 1/4
        QVERIFY(gauge.rect().contains(gauge.CaptionRect()) && gauge.geometry().right() < panel.width());
        const QImage shot = gauge.grab().toImage();
        QVERIFY(At(shot, {5, 55}) == Rgb(255, 0, 0) && At(shot, {5, 20}) == kWhite);
        gauge.Show({false, 0, 1, "  0% frag."});
        QVERIFY(!gauge.InnerBarShown() && gauge.InnerBarRect().isEmpty());
    }

    void sizeChartScaleAndBars() {
        SizeChartView view;
        view.resize(300, 150);
        int32_t histogram[kSizeClassCount] = {};
        histogram[2] = 37;
        histogram[5] = 18;
        view.Draw(BuildSizeChart(histogram, "File distribution"));  // a scale of 0 to 40 in five steps
        QVERIFY(view.LevelLabels().first() == "0" && view.LevelLabels().last() == "40");
        QCOMPARE(view.GridLineCount(), 5);
        const QRect area = view.BarArea(), bar = view.BarRect(2);
        QCOMPARE(bar.height(), BarHeight(BuildSizeChart(histogram, "File distribution"), 2, area.height()));
        QVERIFY(bar.bottom() == area.bottom() && bar.left() > view.BarRect(1).right());
        QCOMPARE(At(view.Canvas(), bar.center()), PaletteColor(13).rgb() & 0xFFFFFF);
        QCOMPARE(At(view.Canvas(), {view.BarRect(3).center().x(), area.bottom() - 2}), kBackground);
        QCOMPARE(view.LabelRect(1).top() - view.LabelRect(0).top(), QFontMetrics(view.font()).height());
        QVERIFY(view.LabelRect(13).right() < view.width() && area.left() > 0 && area.right() < view.width());
    }
};

QTEST_MAIN(MapChartsTest)
#include "map_charts_test.moc"
