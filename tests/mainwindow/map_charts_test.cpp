// The map, legend, pie, gauge and size chart, checked on the pixels they draw.
#include <QtTest>

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
QRgb At(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFF; }
QRgb Plain(QRgb rgb) { return rgb & 0xFFFFFF; }

const QRgb kBackground = Plain(PanelBackground(false).rgb());
const QRgb kBlue = Rgb(0, 0, 255);
const QRgb kDarkBlue = Rgb(0, 0, 128);
const QRgb kWhite = Rgb(255, 255, 255);

DiskMap::LegendConditions Defrag() { return {true, true, false, 1}; }
DiskMap::LegendConditions Check() { return {true, true, false, -1}; }
DiskMap::LegendConditions MapOnlyWithoutGaps() { return {false, false, false, -1}; }

SizeChart ChartWithMaximum(int32_t maximum) {
    int32_t histogram[kSizeClassCount] = {};
    histogram[2] = maximum;
    histogram[5] = maximum / 2;
    return BuildSizeChart(histogram, "File distribution");
}

}  // namespace

class MapChartsTest : public QObject {
    Q_OBJECT

private slots:
    void geometryFollowsMapSize() {
        MapGeometry g = ComputeMapGeometry(5, 126, 136);
        QCOMPARE(g.CellPitch, 6);
        QCOMPARE(g.CellsPerRow, 20);
        QCOMPARE(g.CellRows, 20);
        QCOMPARE(g.CellCount, 400);
        g = ComputeMapGeometry(5, 40, 10);  // smaller boxes keep 20 x 20
        QCOMPARE(g.CellsPerRow, 20);
        QCOMPARE(g.CellRows, 20);
        g = ComputeMapGeometry(5, 300 * 6 + 6, 120 * 6 + 16);
        QCOMPARE(g.CellsPerRow, 300);
        QCOMPARE(g.CellRows, 120);
        QCOMPARE(g.CellCount, 32000);
        g = ComputeMapGeometry(4, 200, 150);
        QCOMPARE(g.CellsPerRow, 38);
        QCOMPARE(g.CellRows, 26);
        QCOMPARE(CellOrigin(g, 38 + 3), QPoint(3 * 5 + 2, 5 + 13));

        QCOMPARE(CellSizeForDpi(96), 4);
        QCOMPARE(CellSizeForDpi(120), 5);
        const PieGeometry large = ComputePieGeometry(TwipsPerPixel(120), 150);
        QCOMPARE(large.PieRadius, 32);
        QCOMPARE(large.PieCenterX, 45);
        QCOMPARE(large.PieCenterY, 75);
        QCOMPARE(ComputePieGeometry(TwipsPerPixel(96), 150).PieRadius, 27);
    }

    void paintedCellsShowTheirTiles() {
        DiskMap map;
        map.resize(200, 150);
        map.SetCellSize(5);
        map.PaintCell(0, kCellFiles);  // before the layout: nothing
        QCOMPARE(At(map.Canvas(), 2, 13), kBackground);

        map.RecomputeGeometry();
        map.DrawLegend(Defrag());
        const MapGeometry& g = map.Geometry();
        const int fixedCell = g.CellsPerRow + 3;
        const int partialCell = fixedCell + 1;
        map.PaintCell(fixedCell, kCellFixed);
        map.PaintCell(partialCell, kCellPartial);
        const QPoint fixed = CellOrigin(g, fixedCell);
        const QPoint partial = CellOrigin(g, partialCell);
        QCOMPARE(fixed, QPoint(3 * 6 + 2, 6 + 13));
        for (int j = 0; j < 5; ++j) {
            for (int i = 0; i < 5; ++i) {
                const bool odd = (i + j) % 2 == 1;
                QCOMPARE(At(map.Canvas(), fixed.x() + i, fixed.y() + j), odd ? kDarkBlue : kBlue);
                QCOMPARE(At(map.Canvas(), partial.x() + i, partial.y() + j), odd ? kBlue : kWhite);
            }
        }
        // The pitch leaves one background pixel between neighbours.
        for (int j = 0; j < 5; ++j) QCOMPARE(At(map.Canvas(), fixed.x() + 5, fixed.y() + j), kBackground);
        for (int i = 0; i < 5; ++i) QCOMPARE(At(map.Canvas(), fixed.x() + i, fixed.y() + 5), kBackground);
        QCOMPARE(map.Tiles().size(), QSize(80, 5));

        // Cells larger than a tile continue the checkerboard without seams.
        map.SetCellSize(8);
        map.RecomputeGeometry();
        map.PaintCell(0, kCellFixed);
        const QPoint big = CellOrigin(map.Geometry(), 0);
        for (int i = 0; i < 8; ++i) {
            QCOMPARE(At(map.Canvas(), big.x() + i, big.y() + 7), i % 2 == 0 ? kDarkBlue : kBlue);
        }
    }

    void legendEntriesFollowTheRun() {
        DiskMap map;
        map.resize(600, 200);
        map.DrawLegend(Check());
        QCOMPARE(map.LegendX(kCellFixed), 3);
        QVERIFY(map.LegendX(kCellFiles) > map.LegendX(kCellFixed));
        QVERIFY(map.LegendX(kCellPartial) > map.LegendX(kCellFiles));
        QVERIFY(map.LegendX(kCellEmpty) > map.LegendX(kCellPartial));
        QVERIFY(map.LegendX(kCellFragments) > map.LegendX(kCellEmpty));
        QCOMPARE(map.LegendX(kCellMoving), -1);
        QCOMPARE(map.LegendX(kCellTo), -1);
        // The sample is the tile, pixel by pixel, at rows 3..7.
        const int files = map.LegendX(kCellFiles);
        QCOMPARE(At(map.LegendCanvas(), files, 3), kBlue);
        QCOMPARE(At(map.LegendCanvas(), files + 4, 7), kBlue);
        QCOMPARE(At(map.LegendCanvas(), files, 8), kBackground);

        map.DrawLegend(Defrag());
        QVERIFY(map.LegendX(kCellMoving) > map.LegendX(kCellFragments));
        QVERIFY(map.LegendX(kCellTo) > map.LegendX(kCellMoving));

        map.DrawLegend(MapOnlyWithoutGaps());
        QCOMPARE(map.LegendX(kCellFixed), -1);
        QCOMPARE(map.LegendX(kCellPartial), -1);
        QCOMPARE(map.LegendX(kCellMoving), -1);
        QCOMPARE(map.LegendX(kCellFiles), 3);
        QVERIFY(map.LegendX(kCellEmpty) > map.LegendX(kCellFiles));
        QVERIFY(map.LegendX(kCellFragments) > map.LegendX(kCellEmpty));
        QCOMPARE(At(map.LegendCanvas(), map.LegendX(kCellEmpty) + 2, 5), kWhite);
    }

    void redrawMapPaintsEveryCellOrNothing() {
        DiskMap map;
        map.resize(200, 150);
        map.SetCellSize(4);
        map.RecomputeGeometry();
        map.PaintCell(5, kCellFiles);
        const QImage before = map.Canvas();
        map.RedrawMap({kCellFiles}, Check());  // no map yet
        QCOMPARE(map.Canvas(), before);
        QCOMPARE(map.LegendX(kCellFiles), -1);

        map.RedrawMap({kCellFiles, kCellNone, kCellFragments}, Check());
        const MapGeometry& g = map.Geometry();
        const QPoint c0 = CellOrigin(g, 0), c1 = CellOrigin(g, 1), c2 = CellOrigin(g, 2), c5 = CellOrigin(g, 5);
        QCOMPARE(At(map.Canvas(), c0.x() + 1, c0.y() + 1), kBlue);
        QCOMPARE(At(map.Canvas(), c1.x() + 1, c1.y() + 1), kBackground);
        QCOMPARE(At(map.Canvas(), c2.x() + 1, c2.y() + 1), Rgb(255, 0, 0));
        QCOMPARE(At(map.Canvas(), c5.x() + 1, c5.y() + 1), kBackground);  // the old picture is gone
        QVERIFY(map.LegendX(kCellFiles) > 0);
    }

    void pieFiguresRoundAndClamp() {
        PieFigures f = ComputePie(0, 100);
        QCOMPARE(f.angle, 0.02);
        QCOMPARE(f.label, QString("Free 0%"));
        f = ComputePie(100, 100);
        QVERIFY(f.fullCircle);
        QCOMPARE(f.label, QString("Free 100%"));
        QCOMPARE(ComputePie(99999, 100000).angle, 6.26);
        QCOMPARE(ComputePie(1, 8).label, QString("Free 12%"));   // 12.5 to the even 12
        QCOMPARE(ComputePie(3, 8).label, QString("Free 38%"));   // 37.5 to the even 38
        QCOMPARE(ComputePie(3, 200).percent, 2);                 // 1.5
        f = ComputePie(0, 0);
        QVERIFY(f.noVolume && f.fullCircle);
        QVERIFY(f.label.isEmpty());
    }

    void pieWedgesRunCounterClockwise() {
        FreeSpacePie pie;
        pie.resize(132, 150);
        pie.SetPie({37, 75, 27});
        const int cx = 37, cy = 75, d = 12;
        pie.Draw(25, 100);  // free: the upper right quarter
        QCOMPARE(At(pie.Canvas(), cx + d, cy - d), kWhite);
        QCOMPARE(At(pie.Canvas(), cx - d, cy - d), kBlue);
        QCOMPARE(At(pie.Canvas(), cx + d, cy + d), kBlue);
        QVERIFY(pie.LabelRect().top() > cy);  // on the used half
        QCOMPARE(pie.LabelText(), QString("Free 25%"));

        pie.Draw(0, 100);
        QCOMPARE(pie.LabelText(), QString("Free 0%"));
        QCOMPARE(At(pie.Canvas(), cx, cy - d), kBlue);

        pie.Draw(100, 100);
        QCOMPARE(pie.LabelText(), QString("Free 100%"));
        QCOMPARE(At(pie.Canvas(), cx + d, cy + d), kWhite);
        QCOMPARE(At(pie.Canvas(), cx - d, cy + d), kWhite);
        QVERIFY(pie.LabelRect().bottom() < cy);
        QCOMPARE(At(pie.Canvas(), cx + 40, cy), kBackground);  // outside the circle
    }

    void gaugeInnerBarAndCaption() {
        FragGaugeView gauge;
        gauge.SetBarSize(10, 64);
        gauge.Show({true, 1, 4, "25% frag."});
        QCOMPARE(gauge.InnerBarRect(), QRect(2, 64 - 2 - 15, 6, 15));  // (64 - 4) x 1/4
        QVERIFY(gauge.OuterBarShown());
        QCOMPARE(gauge.Caption(), QString("25% frag."));
        QVERIFY(gauge.rect().contains(gauge.CaptionRect()));
        const QImage shot = gauge.grab().toImage();
        QCOMPARE(At(shot, 5, 55), Rgb(255, 0, 0));
        QCOMPARE(At(shot, 5, 20), kWhite);

        // Beside a narrow pie panel the caption shrinks rather than run off it.
        QWidget panel;
        panel.resize(132, 150);
        FragGaugeView beside(&panel);
        beside.SetBarSize(10, 54);
        beside.move(37 + 27 + 4, 75 - 27);
        beside.Show({false, 0, 1, "100% frag."});
        QVERIFY(beside.rect().contains(beside.CaptionRect()));
        QVERIFY(beside.geometry().right() < panel.width());
        gauge.Show({false, 0, 1, "  0% frag."});
        QVERIFY(!gauge.InnerBarShown());
        QVERIFY(gauge.InnerBarRect().isEmpty());
        gauge.HideAll();
        QVERIFY(!gauge.OuterBarShown());
    }

    void sizeChartScaleAndBars() {
        SizeChartView view;
        view.resize(300, 150);
        const struct { int32_t maximum; const char* top; int grid; } cases[] = {
            {0, "1", 1}, {7, "10", 5}, {37, "40", 5}};
        for (const auto& c : cases) {
            view.Draw(ChartWithMaximum(c.maximum));
            QCOMPARE(view.LevelLabels().last(), QString(c.top));
            QCOMPARE(view.LevelLabels().first(), QString("0"));
            QCOMPARE(view.GridLineCount(), c.grid);
        }
        QCOMPARE(view.LevelLabels()[1], QString("8"));

        const SizeChart chart = ChartWithMaximum(37);
        const QRect area = view.BarArea();
        const QRect bar = view.BarRect(2);
        QCOMPARE(bar.height(), BarHeight(chart, 2, area.height()));
        QCOMPARE(bar.bottom(), area.bottom());
        QVERIFY(bar.left() > view.BarRect(1).right());
        QCOMPARE(At(view.Canvas(), bar.center().x(), bar.center().y()), Plain(PaletteColor(13).rgb()));
        const QRect empty = view.BarRect(3);
        QCOMPARE(At(view.Canvas(), empty.center().x(), area.bottom() - 2), kBackground);
        QCOMPARE(view.LabelRect(1).top() - view.LabelRect(0).top(), QFontMetrics(view.font()).height());
        QVERIFY(view.LabelRect(13).right() < view.width());
        QVERIFY(area.left() > 0 && area.right() < view.width());
    }
};

QTEST_MAIN(MapChartsTest)
#include "map_charts_test.moc"
