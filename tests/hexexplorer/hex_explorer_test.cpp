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

#include "hexexplorer/hex_explorer.h"
#include "hexexplorer/sector_pane.h"
#include "mainwindow/palette.h"
#include "tests/support/attached_world.h"
#include "tests/support/test_images.h"

using namespace quillo;
using namespace quillo::gui;
using quillo::test::RunCommand;
using quillo::test::ShellQuote;

namespace {

// The viewer over drive C: of one disk image, opened as the Tools item does.
struct Viewing {
    explicit Viewing(const std::string& disk) : world({{disk, false}}) {
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

    test::AttachedWorld world;
    EngineContext& ctx = world.ctx;
    ViewerOpening opening = ViewerOpening::Busy;
    int beeps = 0;
    std::unique_ptr<NTQuilHex> hex;
};

void Press(QLineEdit& box, Qt::Key key) { QTest::keyClick(&box, key); }

void EnterNumber(QLineEdit& box, const QString& number) {
    box.clear();
    QTest::keyClicks(&box, number);
    Press(box, Qt::Key_Return);
}

// The first slot (0..15) whose entry satisfies `test`; -1.
template <typename Test>
int SlotWhere(const NTQuilHex& hex, Test test) {
    for (int slot = 0; slot < 16; ++slot)
        if (test(hex.SectorBytes().data() + slot * 32)) return slot;
    return -1;
}

// The slot of the short entry whose 11-byte name is `name11`; -1.
int SlotOf(const NTQuilHex& hex, const char* name11) {
    return SlotWhere(hex, [&](const uint8_t* e) { return std::memcmp(e, name11, 11) == 0 && (e[11] & 0x3F) != 0x0F; });
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
        if (const int slot = SlotOf(hex, name11); slot >= 0) return slot;
    }
    return -1;
}

bool OpenNamed(NTQuilHex& hex, const char* name11) {
    const int slot = FindInFolder(hex, name11);
    if (slot >= 0) Click(hex, slot);
    return slot >= 0;
}

// The colour most pixels of `box` have.
QColor Dominant(const QImage& image, const QRect& box) {
    std::map<QRgb, int> counts;
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x) ++counts[image.pixel(x, y) | 0xFF000000];
    return QColor(std::max_element(counts.begin(), counts.end(), [](auto a, auto b) { return a.second < b.second; })->first);
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

// The image's bytes and modification time.
std::pair<std::vector<uint8_t>, int64_t> StampOf(const std::string& path) {
    struct stat st {};
    stat(path.c_str(), &st);
    return {quillo::test::ReadFileBytes(path), st.st_mtim.tv_sec * 1000000000ll + st.st_mtim.tv_nsec};
}

constexpr char kMyFolder[] = "MYFOLD~1   ";
constexpr char kInner[] = "INNERF~1   ";

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

    void pagingClampsAndSkipsNeedlessRedraws() {
        Viewing s(v16_);
        NTQuilHex& hex = *s.hex;
        const int32_t last = hex.TotalSectors() - 1;
        QCOMPARE(hex.TotalSectors(), 16384);
        for (const char* beyond : {"99999999999", "16384"}) {  // beyond 32 bits, and exactly the sector count
            EnterNumber(hex.txtBlock(), beyond);
            QVERIFY2(hex.CurrentSector() == last && hex.txtBlock().text() == QString::number(last), beyond);
        }
        EnterNumber(hex.txtBlock(), "");
        QCOMPARE(hex.CurrentSector(), 0);
        QCOMPARE(hex.txtBlock().text(), QString("0"));

        const struct { Qt::Key key; int32_t sector; bool redraw; } steps[] = {
            {Qt::Key_PageUp, 0, false},      {Qt::Key_PageDown, 1, true},       {Qt::Key_End, last, true},
            {Qt::Key_PageDown, last, false}, {Qt::Key_PageUp, last - 1, true}, {Qt::Key_Home, 0, true}};
        for (const auto& step : steps) {
            const int before = hex.ShowCount();
            Press(hex.txtBlock(), step.key);
            QCOMPARE(hex.CurrentSector(), step.sector);
            QCOMPARE(hex.ShowCount() - before, step.redraw ? 1 : 0);
        }

        // Only digits and Backspace are typed; anything else beeps.
        hex.txtBlock().setText("12");
        QTest::keyClicks(&hex.txtBlock(), "a-3 ");
        Press(hex.txtBlock(), Qt::Key_Backspace);
        QCOMPARE(hex.txtBlock().text(), QString("12"));
        QCOMPARE(s.beeps, 3);

        // The chain box clamps to the chain and pages within it.
        EnterNumber(hex.txtDir(), "500");
        QCOMPARE(hex.txtDir().text(), QString("31"));
        QCOMPARE(hex.CurrentSector(), s.Root16Start() + 31);
        const int before = hex.ShowCount();
        Press(hex.txtDir(), Qt::Key_PageDown);
        QCOMPARE(hex.ShowCount(), before);
        EnterNumber(hex.txtDir(), "");
        QCOMPARE(hex.CurrentSector(), s.Root16Start());
    }

    // Each spin button steps its box by one and returns to neutral.
    void spinButtonsStepAndReturnToNeutral() {
        Viewing s(v16_);
        NTQuilHex& hex = *s.hex;
        const auto spin = [&](QScrollBar& bar, int step, int32_t sector) {
            bar.setValue(NTQuilHex::kSpinNeutral + step);
            QCOMPARE(hex.CurrentSector(), sector);
            QCOMPARE(bar.value(), NTQuilHex::kSpinNeutral);
        };
        spin(hex.VScroll2(), +1, s.Root16Start() + 1);
        spin(hex.VScroll2(), -1, s.Root16Start());
        spin(hex.VScroll2(), -1, s.Root16Start());  // the chain stops at 0
        QCOMPARE(hex.txtDir().text(), QString("0"));
        EnterNumber(hex.txtBlock(), "10");
        spin(hex.VScroll1(), -1, 9);
        spin(hex.VScroll1(), +1, 10);
    }

    // The panes' text colour by sector: read from the pixels of the hex pane.
    void sectorColours() {
        Viewing s(v16_);
        NTQuilHex& hex = *s.hex;
        const auto shownIn = [&](const QColor& colour, const char* row) {
            const QImage& image = hex.picData().Image();
            QVERIFY2(hex.picData().TextColour() == colour && CountPixels(image, colour) > 100, row);
            QVERIFY2(colour == QColor(Qt::black) || CountPixels(image, Qt::black) == 0, row);
        };
        EnterNumber(hex.txtBlock(), "0");
        shownIn(PaletteColor(4), "sector 0 red");
        EnterNumber(hex.txtBlock(), "1");
        shownIn(PaletteColor(5), "sector 1 magenta");
        EnterNumber(hex.txtBlock(), "2");
        shownIn(Qt::black, "sector 2 black");
        const struct { const char* name11; int colour; } files[] = {{"FILEREC BIN", 1}, {"INDXREC BIN", 2}};
        for (const auto& file : files) {
            EnterNumber(hex.txtDir(), "0");
            QVERIFY(OpenNamed(hex, file.name11));
            shownIn(PaletteColor(file.colour), file.name11);
            Press(hex.txtDir(), Qt::Key_Escape);  // back to the root, not closed
            QVERIFY(hex.Depth() == 0 && hex.isVisible());
        }
    }

    // The marks of FAT16 root sectors, each read from its box's pixels.
    void fat16RootMarks() {
        Viewing s(v16_);
        NTQuilHex& hex = *s.hex;
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
        const int white = -1;  // unmarked
        const struct { const char* what; MarkPane pane; int byte; int colour; } marks[] = {
            {"long-name entry's attribute", MarkPane::Data, longName * 32 + 11, 2},
            {"long-name piece's characters", MarkPane::Text, longName * 32 + 1, white},
            {"folder's attribute", MarkPane::Data, folder * 32 + 11, 5},
            {"folder's name", MarkPane::Text, folder * 32, 5},
            {"folder's name, last character", MarkPane::Text, folder * 32 + 7, 5},
            {"folder's first cluster", MarkPane::Data, folder * 32 + 26, 5},
            {"folder's size field", MarkPane::Data, folder * 32 + 28, white},
            {"high cluster word on FAT16", MarkPane::Data, folder * 32 + 20, white},
            {"read-only file's attribute", MarkPane::Data, readOnly * 32 + 11, 2},
            {"read-only file's extension", MarkPane::Text, readOnly * 32 + 8, 2},
            {"plain file's attribute", MarkPane::Data, plain * 32 + 11, 1},
            {"label's attribute", MarkPane::Data, label * 32 + 11, 3},
            {"label's name", MarkPane::Text, label * 32, 3},
        };
        for (const auto& mark : marks)
            QVERIFY2(MarkColour(hex, mark.pane, mark.byte) == (mark.colour == white ? QColor(Qt::white) : PaletteColor(mark.colour)),
                     mark.what);
        // Outside the chain being looked at nothing is marked.
        EnterNumber(hex.txtBlock(), QString::number(hex.CurrentSector() - 1));
        QCOMPARE(MarkColour(hex, MarkPane::Data, 11), QColor(Qt::white));
    }

    // A second box over the same place cancels the first.
    void marksAreExclusiveOr() {
        SectorPane pane(16, PaneFont());
        const QStringList lines(kDumpLines, QString(16, 'x'));
        const EntryMark mark{MarkPane::Text, 40, 3, 5};
        const QRect box = pane.Metrics().Boxes(mark).front();
        pane.Show(lines, Qt::black, {mark});
        QCOMPARE(Dominant(pane.Image(), box), PaletteColor(5));
        pane.Show(lines, Qt::black, {mark, mark});
        QCOMPARE(Dominant(pane.Image(), box), QColor(Qt::white));
        pane.Show(lines, Qt::black, {mark, {MarkPane::Text, 40, 3, 2}});
        QCOMPARE(Dominant(pane.Image(), box), QColor(PaletteColor(5).rgb() ^ PaletteColor(2).rgb() ^ 0xFF000000));
        // A run that crosses a line is boxed byte by byte.
        QCOMPARE(pane.Metrics().Boxes({MarkPane::Text, 14, 4, 1}).size(), size_t(4));
        QCOMPARE(pane.Metrics().Boxes({MarkPane::Text, 0, 8, 1}).size(), size_t(1));
    }

    // Either line of an entry opens it; "." does nothing, ".." returns with
    // the parent's name; a file opens at its first sector and pages its chain.
    void walkingFoldersByClickingEntries() {
        Viewing s(v16_);
        NTQuilHex& hex = *s.hex;
        const int slot = SlotOf(hex, kMyFolder);
        std::vector<std::pair<QString, int32_t>> opened;
        for (bool second : {false, true}) {
            EnterNumber(hex.txtDir(), "0");
            Click(hex, slot, second);
            QCOMPARE(hex.Depth(), 1);
            opened.push_back({hex.lblDir().text(), hex.CurrentSector()});
            hex.Parent();
        }
        QCOMPARE(opened[0].first, QString("My Folder"));  // from the volume's long-name entries
        QVERIFY(opened[1] == opened[0]);

        QVERIFY(OpenNamed(hex, kMyFolder) && OpenNamed(hex, kInner));
        QCOMPARE(hex.Depth(), 2);
        QCOMPARE(hex.lblDir().text(), QString("Inner Folder"));
        const int32_t inner = hex.CurrentSector();
        const int shows = hex.ShowCount();
        Click(hex, SlotOf(hex, ".          "));
        QVERIFY(hex.Depth() == 2 && hex.ShowCount() == shows);
        Click(hex, SlotOf(hex, "..         "), true);
        QCOMPARE(hex.Depth(), 1);
        QCOMPARE(hex.lblDir().text(), QString("My Folder"));
        QVERIFY(hex.CurrentSector() != inner);
        Click(hex, SlotOf(hex, "..         "));
        QCOMPARE(hex.Depth(), 0);
        QCOMPARE(hex.lblDir().text(), QString(" (root)"));

        QVERIFY(OpenNamed(hex, kMyFolder) && OpenNamed(hex, kInner) && OpenNamed(hex, "SOMENO~1TXT"));
        QCOMPARE(hex.lblDir().text(), QString("Some notes.txt"));
        QVERIFY(!hex.IsDirectory());
        QCOMPARE(hex.LastIndex(), 5);  // 3,000 bytes in 512-byte clusters
        QCOMPARE(hex.SectorBytes()[0], uint8_t('x'));
        Press(hex.txtDir(), Qt::Key_End);
        QCOMPARE(hex.CurrentSector(), hex.Extents().back().start + hex.Extents().back().count - 1);
        QCOMPARE(MarkColour(hex, MarkPane::Data, 0), QColor(Qt::white));  // a file is not marked

        // A file opened from a later sector of its folder pages from its own start.
        while (hex.Depth() > 0) hex.Parent();
        const int f9 = FindInFolder(hex, "F9      TXT");
        QVERIFY(f9 >= 0 && hex.RelativeIndex() > 0);
        Click(hex, f9);
        QCOMPARE(hex.txtDir().text(), QString("0"));
        Press(hex.txtDir(), Qt::Key_PageDown);
        QCOMPARE(hex.CurrentSector(), RelativeToAbsolute(hex.Extents(), 1));
    }

    // The viewer starts at the root's first sector with the focus in the
    // chain box. Back at the FAT16 root from a folder, every root sector
    // pages.
    void fat16RootPagesWholeAfterReturning() {
        Viewing s(v16_);
        NTQuilHex& hex = *s.hex;
        QCOMPARE(hex.CurrentSector(), s.Root16Start());
        QCOMPARE(hex.lblDir().text(), QString("(Root)"));
        QCOMPARE(hex.focusWidget(), &hex.txtDir());
        QVERIFY(OpenNamed(hex, kMyFolder));
        QCOMPARE(hex.LastIndex(), 0);  // one cluster of one sector
        Press(hex.txtDir(), Qt::Key_Escape);
        QCOMPARE(hex.Depth(), 0);
        EnterNumber(hex.txtDir(), "500");  // clamps to the root's last sector
        QCOMPARE(hex.CurrentSector(), s.Root16Start() + 31);
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
        QVERIFY(OpenNamed(hex, "DOCUME~1   ") || OpenNamed(hex, "DOCUMENTS  "));
        QCOMPARE(hex.lblDir().text(), QString("Documents"));
        const int folder = SlotOf(hex, "HOLIDA~1   ");
        QVERIFY(folder >= 0);
        QCOMPARE(MarkColour(hex, MarkPane::Data, folder * 32 + 20), PaletteColor(5));  // high cluster word
        QCOMPARE(MarkColour(hex, MarkPane::Data, folder * 32 + 21), PaletteColor(5));
        const int deleted = SlotWhere(hex, [](const uint8_t* e) { return e[0] == 0xE5; });
        QCOMPARE(MarkColour(hex, MarkPane::Data, deleted * 32), PaletteColor(2));

        const std::vector<uint8_t> image = quillo::test::ReadFileBytes(disk_);
        for (int32_t sector : {0, 1, 2, hex.CurrentSector(), hex.TotalSectors() / 2, hex.TotalSectors() - 1}) {
            EnterNumber(hex.txtBlock(), QString::number(sector));
            const auto at = image.begin() + kPartitionOffset + uint64_t(sector) * 512;
            QVERIFY2(BytesShown(hex) == std::vector<uint8_t>(at, at + 512), qPrintable(QString::number(sector)));
            QCOMPARE(hex.picOffset().Lines().first() + hex.picOffset().Lines().last(), QString("0001F0"));
        }
        Click(hex, 0);  // past the folder's chain: whatever the bytes say, nothing breaks
        QVERIFY(hex.isVisible());
    }

    // Paging and clicking around leaves the image as it was, to the
    // byte and to its modification time.
    void aLookAroundNeverWrites() {
        for (const std::string& image : {v16_, disk_}) {
            const auto before = StampOf(image);
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
};

QTEST_MAIN(HexExplorerTest)
#include "hex_explorer_test.moc"
