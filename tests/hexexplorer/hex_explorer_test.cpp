// HexExplorer over real images made with mkfs.fat and mtools: paging and its
// clamps, the pane colours and directory marks (read from the panes' pixels),
// walking folders by clicking entries, the FAT16 root, the depth limit, the
// bytes shown against the image read directly, and that nothing is written.
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QtTest>
#include <sys/stat.h>

#include <cstring>
#include <map>
#include <memory>

#include "common/engine_context.h"
#include "common/little_endian.h"
#include "disk/drive_letters.h"
#include "disk/drive_table.h"
#include "hexexplorer/hex_explorer.h"
#include "hexexplorer/sector_pane.h"
#include "mainwindow/palette.h"
#include "tests/support/test_images.h"

using namespace quillo;
using namespace quillo::gui;
using quillo::test::RunCommand;
using quillo::test::ShellQuote;

namespace {

// The viewer over drive C: of one disk image, opened as the Tools item does.
struct Viewing {
    explicit Viewing(const std::string& disk)
        : drives(AssignDriveLetters({{disk, false}}).drives), ctx(view, clock, drives) {
        ctx.run.DriveString = "C:";
        ctx.run.RootPath = "C:\\";
        ctx.run.DriveMenuIndex = 1;
        opening = OpenVolumeForViewing(ctx);
        if (opening != ViewerOpening::Opened) return;
        hex = std::make_unique<NTQuilHex>(ctx, nullptr, [this] { ++beeps; });
        hex->show();
        hex->Start();
    }
    int32_t Root16Start() const { return ctx.geo.ReservedSectors + ctx.geo.NumberOfFats * ctx.geo.SectorsPerFat; }

    DriveTable drives;
    QuietView view;
    SystemClock clock;
    EngineContext ctx;
    ViewerOpening opening = ViewerOpening::Busy;
    int beeps = 0;
    std::unique_ptr<NTQuilHex> hex;
};

void Type(QLineEdit& box, const QString& keys) { QTest::keyClicks(&box, keys); }
void Press(QLineEdit& box, Qt::Key key) { QTest::keyClick(&box, key); }

void EnterNumber(QLineEdit& box, const QString& number) {
    box.clear();
    Type(box, number);
    Press(box, Qt::Key_Return);
}

// The slot (0..15) of the short entry whose 11-byte name is `name11`; -1.
int SlotOf(const NTQuilHex& hex, const char* name11) {
    const uint8_t* bytes = hex.SectorBytes().data();
    for (int slot = 0; slot < 16; ++slot)
        if (std::memcmp(bytes + slot * 32, name11, 11) == 0 && (bytes[slot * 32 + 11] & 0x3F) != 0x0F) return slot;
    return -1;
}

// The first slot whose entry satisfies `test`; -1.
template <typename Test>
int SlotWhere(const NTQuilHex& hex, Test test) {
    for (int slot = 0; slot < 16; ++slot)
        if (test(hex.SectorBytes().data() + slot * 32)) return slot;
    return -1;
}

// A click on the first or second line of the entry in `slot`.
void Click(NTQuilHex& hex, int slot, bool secondLine = false) {
    const int h = hex.picText().Metrics().lineHeight;
    QTest::mouseClick(&hex.picText(), Qt::LeftButton, {}, QPoint(20, (slot * 2 + (secondLine ? 1 : 0)) * h + h / 2));
}

// Pages the chain view until the short entry `name11` shows; its slot or -1.
int FindInFolder(NTQuilHex& hex, const char* name11) {
    for (int32_t i = 0; i <= hex.LastIndex(); ++i) {
        EnterNumber(hex.txtDir(), QString::number(i));
        const int slot = SlotOf(hex, name11);
        if (slot >= 0) return slot;
    }
    return -1;
}

bool OpenNamed(NTQuilHex& hex, const char* name11) {
    const int slot = FindInFolder(hex, name11);
    if (slot < 0) return false;
    Click(hex, slot);
    return true;
}

// The colour most pixels of `box` have.
QColor Dominant(const QImage& image, const QRect& box) {
    std::map<QRgb, int> counts;
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x) ++counts[image.pixel(x, y) | 0xFF000000];
    QRgb best = 0;
    int most = -1;
    for (const auto& [colour, count] : counts)
        if (count > most) best = colour, most = count;
    return QColor(best);
}

// The colour of the mark over `byte` in the data or the character pane.
QColor MarkColour(NTQuilHex& hex, MarkPane pane, int byte) {
    SectorPane& view = pane == MarkPane::Data ? hex.picData() : hex.picText();
    return Dominant(view.Image(), view.Metrics().Boxes({pane, byte, 1, 0}).front());
}

int CountPixels(const QImage& image, const QColor& colour) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) count += (image.pixel(x, y) | 0xFF000000) == colour.rgb();
    return count;
}

// The 512 bytes the hex pane shows, read back from its text.
std::vector<uint8_t> BytesShown(NTQuilHex& hex) {
    std::vector<uint8_t> bytes;
    for (const QString& line : hex.picData().Lines())
        for (const QString& token : line.split(QRegularExpression("[ |]+"), Qt::SkipEmptyParts))
            bytes.push_back(static_cast<uint8_t>(token.toUInt(nullptr, 16)));
    return bytes;
}

std::vector<uint8_t> ImageSector(const std::string& image, uint64_t volumeOffset, int32_t sector) {
    const std::vector<uint8_t> all = quillo::test::ReadFileBytes(image);
    const uint64_t at = volumeOffset + uint64_t(sector) * 512;
    return std::vector<uint8_t>(all.begin() + at, all.begin() + at + 512);
}

struct FileStamp {
    std::vector<uint8_t> bytes;
    int64_t seconds = 0, nanoseconds = 0;
    bool operator==(const FileStamp&) const = default;
};

FileStamp StampOf(const std::string& path) {
    struct stat st {};
    stat(path.c_str(), &st);
    return {quillo::test::ReadFileBytes(path), st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
}

constexpr char kMyFolder[] = "MYFOLD~1   ";
constexpr char kInner[] = "INNERF~1   ";
constexpr char kDot[] = ".          ";
constexpr char kDotDot[] = "..         ";

}  // namespace

class HexExplorerTest : public QObject {
    Q_OBJECT

private:
    quillo::test::TempDir dir_;
    std::string v16_;   // FAT16 volume, the whole image
    std::string disk_;  // FAT32 volume in partition 1 of a disk, at 1 MiB
    static constexpr uint64_t kPartitionOffset = 2048 * 512;

    static bool Mtools(const std::string& image, const std::string& commands) {
        std::string output;
        const int status = RunCommand("export MTOOLS_SKIP_CHECK=1 IMG=" + ShellQuote(image) + "; " + commands, &output);
        if (status != 0) qWarning("%s", output.c_str());
        return status == 0;
    }

private slots:
    void initTestCase() {
        QVERIFY(quillo::test::HaveFatTools());
        const std::string files = dir_.File("files");
        QVERIFY(RunCommand("mkdir -p " + files + " && cd " + files +
                           " && printf 'FILE0 a record' > file.bin && printf 'INDX a block' > indx.bin"
                           " && echo readme > readme.txt && head -c 3000 /dev/zero | tr '\\0' x > long.txt") == 0);
        v16_ = dir_.File("v16.img");
        QVERIFY(quillo::test::MakeFatImage(v16_, 8192, "-F 16 -s 1 -n LABEL16"));
        // 22 nested folders D1/D2/.../D22.
        std::string deep = "mmd -i \"$IMG\"";
        std::string path = "::";
        for (int level = 1; level <= 22; ++level) {
            path += "D" + std::to_string(level);
            deep += " " + path;
            path += "/";
        }
        // The deleted entry comes last, so no later entry takes its slot.
        QVERIFY(Mtools(v16_, "cd " + files + " && mcopy -i \"$IMG\" file.bin ::FILEREC.BIN && "
                             "mcopy -i \"$IMG\" indx.bin ::INDXREC.BIN && "
                             "mmd -i \"$IMG\" '::My Folder' '::My Folder/Inner Folder' && "
                             "mcopy -i \"$IMG\" long.txt '::My Folder/Inner Folder/Some notes.txt' && "
                             "mcopy -i \"$IMG\" readme.txt ::README.TXT && mattrib -i \"$IMG\" +r ::README.TXT && "
                             "mcopy -i \"$IMG\" long.txt '::Long file name.txt' && " +
                             deep + " && for n in 1 2 3 4 5 6 7 8 9; do mcopy -i \"$IMG\" long.txt ::F$n.TXT; done"
                             " && mcopy -i \"$IMG\" readme.txt ::GONE.TXT && mdel -i \"$IMG\" ::GONE.TXT"));

        const std::string v32 = dir_.File("v32.img");
        QVERIFY(quillo::test::MakeFatImage(v32, 40960, "-F 32 -s 1 -n LABEL32"));
        QVERIFY(Mtools(v32, "cd " + files + " && mmd -i \"$IMG\" ::Documents && "
                            "mcopy -i \"$IMG\" long.txt '::Documents/A letter to a friend.txt' && "
                            "mmd -i \"$IMG\" '::Documents/Holiday pictures' && "
                            "mcopy -i \"$IMG\" readme.txt ::Documents/OLD.TXT && mdel -i \"$IMG\" ::Documents/OLD.TXT"));
        disk_ = dir_.File("disk32.img");
        std::vector<uint8_t> mbr(512, 0);
        quillo::test::PutPartitionEntry(mbr.data(), 0, 0x0C, 2048, 81920);
        quillo::test::PutSignature(mbr.data());
        QVERIFY(quillo::test::WriteFileBytes(disk_, 0, mbr));
        QVERIFY(quillo::test::WriteFileBytes(disk_, kPartitionOffset, quillo::test::ReadFileBytes(v32)));
        QVERIFY(quillo::test::SetFileSize(disk_, kPartitionOffset + 81920ull * 512 + 4096));
    }

    // Start-up waits for the window's timer, then shows relative sector 0 of
    // the root with the focus in the chain box.
    void startsAtTheRootWhenItsTimerFires() {
        Viewing s(v16_);
        QCOMPARE(s.opening, ViewerOpening::Opened);
        NTQuilHex viewer(s.ctx, nullptr);
        viewer.show();
        QVERIFY(viewer.ShowCount() == 0);
        QTRY_VERIFY(viewer.ShowCount() > 0);
        QCOMPARE(viewer.windowTitle(), QString("HexExplorer C:"));
        QCOMPARE(viewer.lblDir().text(), QString("(Root)"));
        QCOMPARE(viewer.CurrentSector(), s.Root16Start());
        QCOMPARE(viewer.LastIndex(), 512 / 16 - 1);
        QCOMPARE(viewer.focusWidget(), &viewer.txtDir());
    }

    void pagingClampsAndSkipsNeedlessRedraws() {
        Viewing s(v16_);
        NTQuilHex& hex = *s.hex;
        const int32_t last = hex.TotalSectors() - 1;
        QCOMPARE(hex.TotalSectors(), 16384);

        EnterNumber(hex.txtBlock(), "99999999999");  // beyond the volume, and beyond 32 bits
        QCOMPARE(hex.CurrentSector(), last);
        QCOMPARE(hex.txtBlock().text(), QString::number(last));
        EnterNumber(hex.txtBlock(), "16384");  // exactly the sector count
        QCOMPARE(hex.CurrentSector(), last);
        EnterNumber(hex.txtBlock(), "");
        QCOMPARE(hex.CurrentSector(), 0);
        QCOMPARE(hex.txtBlock().text(), QString("0"));

        const struct {
            Qt::Key key;
            int32_t sector;
            bool redraw;
        } steps[] = {
            {Qt::Key_PageUp, 0, false}, {Qt::Key_PageDown, 1, true}, {Qt::Key_End, last, true},
            {Qt::Key_PageDown, last, false}, {Qt::Key_End, last, false}, {Qt::Key_PageUp, last - 1, true},
            {Qt::Key_Home, 0, true}, {Qt::Key_Home, 0, false},
        };
        for (const auto& step : steps) {
            const int before = hex.ShowCount();
            Press(hex.txtBlock(), step.key);
            QCOMPARE(hex.CurrentSector(), step.sector);
            QCOMPARE(hex.ShowCount() - before, step.redraw ? 1 : 0);
        }

        // Only digits and Backspace are typed; anything else beeps.
        hex.txtBlock().setText("12");
        Type(hex.txtBlock(), "a-3 ");
        QCOMPARE(hex.txtBlock().text(), QString("123"));
        QCOMPARE(s.beeps, 3);
        Press(hex.txtBlock(), Qt::Key_Backspace);
        QCOMPARE(hex.txtBlock().text(), QString("12"));

        // The chain box clamps to the chain and pages within it.
        EnterNumber(hex.txtDir(), "500");
        QCOMPARE(hex.RelativeIndex(), 31);
        QCOMPARE(hex.txtDir().text(), QString("31"));
        QCOMPARE(hex.CurrentSector(), s.Root16Start() + 31);
        const int before = hex.ShowCount();
        Press(hex.txtDir(), Qt::Key_PageDown);
        QCOMPARE(hex.ShowCount(), before);
        EnterNumber(hex.txtDir(), "");
        QCOMPARE(hex.CurrentSector(), s.Root16Start());
    }

    void spinButtonsStepAndReturnToNeutral() {
        Viewing s(v16_);
        NTQuilHex& hex = *s.hex;
        EnterNumber(hex.txtBlock(), "10");
        hex.VScroll1().setValue(NTQuilHex::kSpinNeutral - 1);
        QCOMPARE(hex.CurrentSector(), 9);
        QCOMPARE(hex.VScroll1().value(), NTQuilHex::kSpinNeutral);
        hex.VScroll1().setValue(NTQuilHex::kSpinNeutral + 1);
        QCOMPARE(hex.CurrentSector(), 10);
        QCOMPARE(hex.focusWidget(), &hex.txtBlock());

        EnterNumber(hex.txtDir(), "0");
        hex.VScroll2().setValue(NTQuilHex::kSpinNeutral + 1);
        QCOMPARE(hex.RelativeIndex(), 1);
        QCOMPARE(hex.txtDir().text(), QString("1"));
        QCOMPARE(hex.CurrentSector(), s.Root16Start() + 1);
        QCOMPARE(hex.VScroll2().value(), NTQuilHex::kSpinNeutral);
        hex.VScroll2().setValue(NTQuilHex::kSpinNeutral - 1);
        hex.VScroll2().setValue(NTQuilHex::kSpinNeutral - 1);  // stays at 0
        QCOMPARE(hex.RelativeIndex(), 0);
    }

    // The panes' text colour by sector: read from the pixels of the hex pane.
    void sectorColours() {
        Viewing s(v16_);
        NTQuilHex& hex = *s.hex;
        auto textColourShown = [&] {
            const QImage& image = hex.picData().Image();
            QVERIFY(CountPixels(image, hex.picData().TextColour()) > 100);
            if (hex.picData().TextColour() != QColor(Qt::black)) QCOMPARE(CountPixels(image, Qt::black), 0);
        };
        EnterNumber(hex.txtBlock(), "0");
        QCOMPARE(hex.picData().TextColour(), PaletteColor(4));
        textColourShown();
        EnterNumber(hex.txtBlock(), "1");
        QCOMPARE(hex.picData().TextColour(), PaletteColor(5));
        textColourShown();
        EnterNumber(hex.txtBlock(), "2");
        QCOMPARE(hex.picData().TextColour(), QColor(Qt::black));

        const struct {
            const char* name11;
            int colour;
        } files[] = {{"FILEREC BIN", 1}, {"INDXREC BIN", 2}};
        for (const auto& file : files) {
            EnterNumber(hex.txtDir(), "0");
            QVERIFY(OpenNamed(hex, file.name11));
            QVERIFY(!hex.IsDirectory());
            QCOMPARE(hex.picData().TextColour(), PaletteColor(file.colour));
            textColourShown();
            Press(hex.txtDir(), Qt::Key_Escape);  // back to the root
            QCOMPARE(hex.Depth(), 0);
            QVERIFY(hex.isVisible());
        }
    }

    // The marks of FAT16 root sectors, each read from its box's pixels.
    void fat16RootMarks() {
        Viewing s(v16_);
        NTQuilHex& hex = *s.hex;
        QVERIFY(hex.IsDirectory());
        // The deleted entry came last: find its sector first.
        int deleted = -1;
        for (int32_t i = 0; i <= hex.LastIndex() && deleted < 0; ++i) {
            EnterNumber(hex.txtDir(), QString::number(i));
            deleted = SlotWhere(hex, [](const uint8_t* e) { return e[0] == 0xE5; });
        }
        QVERIFY(deleted >= 0);
        QCOMPARE(MarkColour(hex, MarkPane::Data, deleted * 32), PaletteColor(2));
        QCOMPARE(MarkColour(hex, MarkPane::Text, deleted * 32 + 1), QColor(Qt::white));  // its name is not

        EnterNumber(hex.txtDir(), "0");
        const int longName = SlotWhere(hex, [](const uint8_t* e) { return e[0] != 0xE5 && e[11] == 0x0F; });
        const int folder = SlotOf(hex, kMyFolder);
        const int readOnly = SlotOf(hex, "README  TXT");
        const int plain = SlotOf(hex, "FILEREC BIN");
        const int label = SlotOf(hex, "LABEL16    ");
        QVERIFY(longName >= 0 && folder >= 0 && readOnly >= 0 && plain >= 0 && label >= 0);
        const struct {
            const char* what;
            MarkPane pane;
            int byte;
            int colour;
        } marks[] = {
            {"long-name entry's attribute", MarkPane::Data, longName * 32 + 11, 2},
            {"folder's attribute", MarkPane::Data, folder * 32 + 11, 5},
            {"folder's name", MarkPane::Text, folder * 32, 5},
            {"folder's name, last character", MarkPane::Text, folder * 32 + 7, 5},
            {"folder's first cluster", MarkPane::Data, folder * 32 + 26, 5},
            {"read-only file's attribute", MarkPane::Data, readOnly * 32 + 11, 2},
            {"read-only file's extension", MarkPane::Text, readOnly * 32 + 8, 2},
            {"plain file's attribute", MarkPane::Data, plain * 32 + 11, 1},
            {"label's attribute", MarkPane::Data, label * 32 + 11, 3},
            {"label's name", MarkPane::Text, label * 32, 3},
        };
        for (const auto& mark : marks)
            QVERIFY2(MarkColour(hex, mark.pane, mark.byte) == PaletteColor(mark.colour), mark.what);
        // Unmarked: bytes no field covers.
        const struct {
            const char* what;
            MarkPane pane;
            int byte;
        } unmarked[] = {
            {"long-name piece's characters", MarkPane::Text, longName * 32 + 1},
            {"folder's size field", MarkPane::Data, folder * 32 + 28},
            {"high cluster word on FAT16", MarkPane::Data, folder * 32 + 20},
        };
        for (const auto& byte : unmarked)
            QVERIFY2(MarkColour(hex, byte.pane, byte.byte) == QColor(Qt::white), byte.what);
        // The text stays readable: black outside the marks, white inside them.
        QVERIFY(CountPixels(hex.picData().Image(), Qt::black) > 1000);
        const QRect nameBox = hex.picText().Metrics().Boxes({MarkPane::Text, folder * 32, 8, 0}).front();
        QVERIFY(CountPixels(hex.picText().Image().copy(nameBox), Qt::white) > 10);
        // Outside the chain being looked at nothing is marked.
        EnterNumber(hex.txtBlock(), QString::number(hex.CurrentSector() - 1));
        QVERIFY(MarkColour(hex, MarkPane::Data, 11) == QColor(Qt::white));
    }

    // A second box over the same place cancels the first.
    void marksAreExclusiveOr() {
        SectorPane pane(16, PaneFont());
        QStringList lines;
        for (int i = 0; i < kDumpLines; ++i) lines << QString(16, 'x');
        const EntryMark mark{MarkPane::Text, 40, 3, 5};
        pane.Show(lines, Qt::black, {mark});
        const QRect box = pane.Metrics().Boxes(mark).front();
        QCOMPARE(Dominant(pane.Image(), box), PaletteColor(5));
        pane.Show(lines, Qt::black, {mark, mark});
        QCOMPARE(Dominant(pane.Image(), box), QColor(Qt::white));
        pane.Show(lines, Qt::black, {mark, {MarkPane::Text, 40, 3, 2}});
        QCOMPARE(Dominant(pane.Image(), box), QColor(PaletteColor(5).rgb() ^ PaletteColor(2).rgb() ^ 0xFF000000));
        // A run that crosses a line is boxed byte by byte.
        QCOMPARE(pane.Metrics().Boxes({MarkPane::Text, 14, 4, 1}).size(), size_t(4));
        QCOMPARE(pane.Metrics().Boxes({MarkPane::Text, 0, 8, 1}).size(), size_t(1));
    }

    void clickingEitherLineOpensTheSameEntry() {
        Viewing s(v16_);
        NTQuilHex& hex = *s.hex;
        const int slot = SlotOf(hex, kMyFolder);
        QVERIFY(slot >= 0);
        struct Opened {
            int depth;
            QString name;
            int32_t sector;
        };
        std::vector<Opened> seen;
        for (bool second : {false, true}) {
            EnterNumber(hex.txtDir(), "0");
            Click(hex, slot, second);
            seen.push_back({hex.Depth(), hex.lblDir().text(), hex.CurrentSector()});
            hex.Parent();
        }
        QCOMPARE(seen[0].depth, 1);
        QCOMPARE(seen[0].name, QString("My Folder"));  // from the volume's long-name entries
        QCOMPARE(seen[1].depth, seen[0].depth);
        QCOMPARE(seen[1].name, seen[0].name);
        QCOMPARE(seen[1].sector, seen[0].sector);
    }

    void dotDoesNothingAndDotDotReturnsWithTheParentsName() {
        Viewing s(v16_);
        NTQuilHex& hex = *s.hex;
        QVERIFY(OpenNamed(hex, kMyFolder));
        QVERIFY(OpenNamed(hex, kInner));
        QCOMPARE(hex.Depth(), 2);
        QCOMPARE(hex.lblDir().text(), QString("Inner Folder"));
        const int32_t inner = hex.CurrentSector();
        const int shows = hex.ShowCount();
        Click(hex, SlotOf(hex, kDot));
        QCOMPARE(hex.Depth(), 2);
        QCOMPARE(hex.ShowCount(), shows);
        Click(hex, SlotOf(hex, kDotDot), true);
        QCOMPARE(hex.Depth(), 1);
        QCOMPARE(hex.lblDir().text(), QString("My Folder"));
        QVERIFY(hex.CurrentSector() != inner);
        Click(hex, SlotOf(hex, kDotDot));
        QCOMPARE(hex.Depth(), 0);
        QCOMPARE(hex.lblDir().text(), QString(" (root)"));

        // A file opens at its first sector, and its chain pages from there.
        QVERIFY(OpenNamed(hex, kMyFolder));
        QVERIFY(OpenNamed(hex, kInner));
        QVERIFY(OpenNamed(hex, "SOMENO~1TXT"));
        QCOMPARE(hex.lblDir().text(), QString("Some notes.txt"));
        QVERIFY(!hex.IsDirectory());
        QCOMPARE(hex.LastIndex(), 5);  // 3,000 bytes in 512-byte clusters
        QCOMPARE(hex.SectorBytes()[0], uint8_t('x'));
        Press(hex.txtDir(), Qt::Key_End);
        QCOMPARE(hex.CurrentSector(), hex.Extents().back().start + hex.Extents().back().count - 1);
        QVERIFY(MarkColour(hex, MarkPane::Data, 0) == QColor(Qt::white));  // a file is not marked

        // A file opened from a later sector of its folder pages from its own start.
        while (hex.Depth() > 0) hex.Parent();
        const int slot = FindInFolder(hex, "F9      TXT");
        QVERIFY(slot >= 0 && hex.RelativeIndex() > 0);
        Click(hex, slot);
        QCOMPARE(hex.RelativeIndex(), 0);
        QCOMPARE(hex.txtDir().text(), QString("0"));
        Press(hex.txtDir(), Qt::Key_PageDown);
        QCOMPARE(hex.CurrentSector(), RelativeToAbsolute(hex.Extents(), 1));
    }

    void fat16RootPagesWholeAfterReturning() {
        Viewing s(v16_);
        NTQuilHex& hex = *s.hex;
        QVERIFY(OpenNamed(hex, kMyFolder));
        QCOMPARE(hex.LastIndex(), 0);  // one cluster of one sector
        Press(hex.txtDir(), Qt::Key_Escape);
        QCOMPARE(hex.Depth(), 0);
        QCOMPARE(hex.lblDir().text(), QString(" (root)"));
        QCOMPARE(hex.LastIndex(), 31);
        for (int32_t i = 0; i < 31; ++i) {
            QCOMPARE(hex.CurrentSector(), s.Root16Start() + i);
            Press(hex.txtDir(), Qt::Key_PageDown);
        }
        QCOMPARE(hex.CurrentSector(), s.Root16Start() + 31);
        Press(hex.txtDir(), Qt::Key_Escape);  // Esc at the root closes
        QVERIFY(!hex.isVisible());
        QVERIFY(s.ctx.dev.DeviceHandle == nullptr);
    }

    void depthStopsAtTwentyLevels() {
        Viewing s(v16_);
        NTQuilHex& hex = *s.hex;
        for (int level = 1; level <= 21; ++level) {
            const std::string name = ("D" + std::to_string(level) + "          ").substr(0, 11);
            QVERIFY(OpenNamed(hex, name.c_str()));
            QCOMPARE(hex.Depth(), std::min(level, 20));
        }
        QCOMPARE(s.beeps, 1);  // D21 refused
        QCOMPARE(hex.lblDir().text(), QString("D20"));
        Press(hex.txtDir(), Qt::Key_Escape);
        QCOMPARE(hex.lblDir().text(), QString("D19"));
    }

    // The hex text is the image's bytes, on a FAT32 volume inside a
    // partitioned disk, with its folder marks and long names.
    void partitionedFat32ShowsTheImagesBytes() {
        Viewing s(disk_);
        QCOMPARE(s.opening, ViewerOpening::Opened);
        NTQuilHex& hex = *s.hex;
        QCOMPARE(hex.lblDir().text(), QString(" (root)"));
        QVERIFY(OpenNamed(hex, "DOCUME~1   ") || OpenNamed(hex, "DOCUMENTS  "));
        QCOMPARE(hex.lblDir().text(), QString("Documents"));
        const int folder = SlotOf(hex, "HOLIDA~1   ");
        QVERIFY(folder >= 0);
        QCOMPARE(MarkColour(hex, MarkPane::Data, folder * 32 + 20), PaletteColor(5));  // high cluster word
        QCOMPARE(MarkColour(hex, MarkPane::Data, folder * 32 + 21), PaletteColor(5));
        const int deleted = SlotWhere(hex, [](const uint8_t* e) { return e[0] == 0xE5; });
        QCOMPARE(MarkColour(hex, MarkPane::Data, deleted * 32), PaletteColor(2));

        for (int32_t sector : {0, 1, 2, hex.CurrentSector(), hex.TotalSectors() / 2, hex.TotalSectors() - 1}) {
            EnterNumber(hex.txtBlock(), QString::number(sector));
            QCOMPARE(BytesShown(hex), ImageSector(disk_, kPartitionOffset, sector));
            QCOMPARE(hex.picOffset().Lines().first(), QString("000"));
            QCOMPARE(hex.picOffset().Lines().last(), QString("1F0"));
        }
        Click(hex, 0);  // past the folder's chain: whatever the bytes say, nothing breaks
        QVERIFY(hex.isVisible());
    }

    // Paging and clicking around leaves the image as it was, to the
    // byte and to its modification time.
    void aLookAroundNeverWrites() {
        for (const std::string& image : {v16_, disk_}) {
            const FileStamp before = StampOf(image);
            {
                Viewing s(image);
                NTQuilHex& hex = *s.hex;
                Press(hex.txtBlock(), Qt::Key_End);
                Press(hex.txtBlock(), Qt::Key_Home);
                for (int i = 0; i < 5; ++i) Press(hex.txtDir(), Qt::Key_PageDown);
                EnterNumber(hex.txtDir(), "0");
                for (int slot = 0; slot < 16; ++slot) {
                    Click(hex, slot, slot % 2 == 1);
                    if (hex.Depth() > 0) hex.Parent();
                }
                QVERIFY(s.beeps > 0);  // the label and the long-name pieces open nothing
                // A chain that could not be followed is no error of a run.
                QVERIFY(s.ctx.run.ErrorStop == 0 && !s.ctx.run.StructuralError && !s.ctx.run.StopRequested);
                hex.close();
            }
            QVERIFY(StampOf(image) == before);
        }
    }

    // A read that fails (the image shrank behind the viewer) closes it and
    // leaves the disk error for the main window's message.
    void failedReadClosesTheViewer() {
        const std::string copy = dir_.File("shrinking.img");
        QVERIFY(quillo::test::WriteFileBytes(copy, 0, quillo::test::ReadFileBytes(v16_)));
        Viewing s(copy);
        NTQuilHex& hex = *s.hex;
        QVERIFY(quillo::test::SetFileSize(copy, 1 << 20));
        Press(hex.txtBlock(), Qt::Key_End);
        QVERIFY(!hex.isVisible());
        QVERIFY(s.ctx.run.DiskIoFailed);
        QVERIFY(hex.ErrorText().empty());
    }
};

QTEST_MAIN(HexExplorerTest)
#include "hex_explorer_test.moc"
