#include "hexexplorer/hex_explorer.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdint>
#include <exception>

#include "analysis/long_names.h"
#include "common/engine_context.h"
#include "disk/dir_entry_layout.h"
#include "disk/volume_device.h"
#include "engine/dir_entry.h"
#include "hexexplorer/sector_pane.h"
#include "mainwindow/help_contexts.h"
#include "mainwindow/help_system.h"
#include "mainwindow/palette.h"

namespace quillo::gui {
namespace {

constexpr int kEntriesPerSector = kSectorSize / kEntrySize;
// Where the window opens: 585 x 570 units (39 x 38 pixels) from the main window.
constexpr QPoint kOffsetFromMainWindow(39, 38);

// The short name of an entry as the viewer lists it: lower-case "name.ext".
QString ShortName(const uint8_t* entry) {
    const QString name = QString::fromLatin1(reinterpret_cast<const char*>(entry) + kNameOffset, kNameLength).trimmed();
    const QString extension = QString::fromLatin1(reinterpret_cast<const char*>(entry) + kExtensionOffset, kExtensionLength).trimmed();
    return (extension.isEmpty() ? name : name + "." + extension).toLower();
}

QScrollBar* MakeSpinButton(QWidget* parent) {
    auto* spin = new QScrollBar(Qt::Vertical, parent);
    spin->setRange(0, 2 * NTQuilHex::kSpinNeutral);
    spin->setValue(NTQuilHex::kSpinNeutral);
    spin->setFixedSize(16, 30);
    spin->setFocusPolicy(Qt::NoFocus);
    return spin;
}

QLineEdit* MakeNumberBox(const QString& name, QWidget* parent) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    // Keys are filtered one by one; the validator keeps pasted text to digits too.
    box->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]{0,10}"), box));
    box->setFixedWidth(box->fontMetrics().horizontalAdvance("0000000000") + 12);
    return box;
}

// The number typed, as a count; an empty box counts as 0 and shows it.
int64_t BoxNumber(QLineEdit* box) {
    if (box->text().trimmed().isEmpty()) box->setText("0");
    bool ok = false;
    const int64_t number = box->text().trimmed().toLongLong(&ok);
    return ok ? number : INT64_MAX;
}

// Steps `index` within 0..last by the paging key; true when it changed.
bool PageWithin(int key, int32_t last, int32_t& index) {
    const int32_t before = index;
    if (key == Qt::Key_PageUp && index > 0) --index;
    else if (key == Qt::Key_PageDown && index < last) ++index;
    else if (key == Qt::Key_End) index = last;
    else if (key == Qt::Key_Home) index = 0;
    return index != before;
}

}  // namespace

NTQuilHex::NTQuilHex(EngineContext& ctx, QWidget* mainWindow, std::function<void()> beep)
    : QDialog(mainWindow), ctx_(ctx), beep_(std::move(beep)), sector_(kSectorSize, 0) {
    setObjectName("NTQuilHex");
    if (!beep_) beep_ = [] { QApplication::beep(); };
    totalSectors_ = VolumeTotalSectors(ctx_.geo);
    BuildControls(mainWindow);
    Timer1_ = new QTimer(this);
    Timer1_->setSingleShot(true);
    Timer1_->setInterval(100);
    connect(Timer1_, &QTimer::timeout, this, &NTQuilHex::Start);
    Timer1_->start();
}

NTQuilHex::~NTQuilHex() { CloseVolumeForViewing(ctx_); }

void NTQuilHex::BuildControls(QWidget* mainWindow) {
    setWindowTitle("HexExplorer");
    Label1_ = new QLabel("  Sector", this);
    txtBlock_ = MakeNumberBox("txtBlock", this);
    Label1_->setBuddy(txtBlock_);
    VScroll1_ = MakeSpinButton(this);
    lblDir_ = new QLabel(this);
    lblDir_->setObjectName("lblDir");
    lblDir_->setMinimumWidth(200);
    txtDir_ = MakeNumberBox("txtDir", this);
    VScroll2_ = MakeSpinButton(this);
    Command1_ = new QPushButton("Parent", this);
    Command1_->setAutoDefault(false);  // Enter belongs to the number boxes

    const QFont font = PaneFont();
    picOffset_ = new SectorPane(3, font, this);
    picData_ = new SectorPane(kBytesPerLine * 3 - 1, font, this);
    picText_ = new SectorPane(kBytesPerLine, font, this);

    auto* controls = new QHBoxLayout;
    controls->addWidget(Label1_);
    controls->addWidget(txtBlock_);
    controls->addWidget(VScroll1_);
    controls->addSpacing(12);
    controls->addWidget(lblDir_, 1);
    controls->addWidget(txtDir_);
    controls->addWidget(VScroll2_);
    controls->addWidget(Command1_);
    auto* panes = new QHBoxLayout;
    panes->setSpacing(4);
    panes->addWidget(picOffset_);
    panes->addWidget(picData_);
    panes->addWidget(picText_);
    panes->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(controls);
    layout->addLayout(panes);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    for (QLineEdit* box : {txtBlock_, txtDir_}) box->installEventFilter(this);
    connect(VScroll1_, &QScrollBar::valueChanged, this, &NTQuilHex::SpinBlock);
    connect(VScroll2_, &QScrollBar::valueChanged, this, &NTQuilHex::SpinDir);
    connect(Command1_, &QPushButton::clicked, this, &NTQuilHex::Parent);
    connect(picText_, &SectorPane::pressed, this, &NTQuilHex::OpenEntryAt);
    if (mainWindow != nullptr) move(mainWindow->pos() + kOffsetFromMainWindow);
}

QString NTQuilHex::DriveName() const { return QString::fromStdString(ctx_.run.DriveString); }

// ---- start and chains

void NTQuilHex::Start() {
    Timer1_->stop();
    setWindowTitle("HexExplorer " + DriveName());
    currentSector_ = 0;
    depth_ = 0;
    isDirectory_ = true;
    if (ctx_.geo.IsFat32) {
        OpenChain(ctx_.geo.RootCluster);
        return;
    }
    UseFixedRoot();
    lblDir_->setText("(Root)");
    levelName_[0] = DriveName();
    levelCluster_[0] = 0;
    RestartAtFolderTop();
}

bool NTQuilHex::UseChain(uint32_t cluster) {
    int32_t clusters = 0;
    SectorExtents chain = ChainSectors(ctx_, cluster, clusters);
    if (chain.empty()) return false;
    extents_ = std::move(chain);
    lastIndex_ = clusters * ctx_.geo.SectorsPerCluster - 1;
    return true;
}

void NTQuilHex::UseFixedRoot() {
    extents_ = {{FixedRootStart(ctx_.geo), FixedRootSectors(ctx_.geo)}};
    lastIndex_ = FixedRootSectors(ctx_.geo) - 1;
}

void NTQuilHex::OpenChain(uint32_t cluster) {
    if (!UseChain(cluster)) {
        extents_.clear();  // a root chain we cannot follow: only absolute paging
        lastIndex_ = 0;
    }
    depth_ = 0;
    levelCluster_[0] = cluster;
    levelName_[0] = DriveName();
    lblDir_->setText(" (root)");
    RestartAtFolderTop();
}

void NTQuilHex::RestartAtFolderTop() {
    txtDir_->setText("0");
    DirEnter();
    txtDir_->setFocus();
}

// ---- number boxes

bool NTQuilHex::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && (watched == txtBlock_ || watched == txtDir_))
        return NumberBoxKey(static_cast<QLineEdit*>(watched), static_cast<QKeyEvent*>(event));
    return QDialog::eventFilter(watched, event);
}

bool NTQuilHex::NumberBoxKey(QLineEdit* box, QKeyEvent* event) {
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        box == txtBlock_ ? BlockEnter() : DirEnter();
        return true;
    }
    if (key == Qt::Key_PageUp || key == Qt::Key_PageDown || key == Qt::Key_Home || key == Qt::Key_End) {
        box == txtBlock_ ? BlockKeyDown(key) : DirKeyDown(key);
        return true;
    }
    if (key == Qt::Key_Escape || key == Qt::Key_Tab || key == Qt::Key_Backtab || key == Qt::Key_F1)
        return false;
    // Keys that type a character: digits and Backspace only.
    const QString text = event->text();
    if (text.isEmpty() || key == Qt::Key_Backspace || (text.size() == 1 && text[0].isDigit()))
        return false;
    beep_();
    return true;
}

void NTQuilHex::BlockEnter() {
    const int64_t number = BoxNumber(txtBlock_);
    if (number >= totalSectors_) {
        currentSector_ = totalSectors_ - 1;
        txtBlock_->setText(QString::number(currentSector_));
    } else {
        currentSector_ = static_cast<int32_t>(number);
    }
    ShowSector();
}

void NTQuilHex::BlockKeyDown(int key) {
    if (PageWithin(key, totalSectors_ - 1, currentSector_)) ShowSector();
}

void NTQuilHex::DirEnter() {
    const int64_t number = BoxNumber(txtDir_);
    if (number >= lastIndex_) {
        relativeIndex_ = lastIndex_;
        txtDir_->setText(QString::number(relativeIndex_));
    } else {
        relativeIndex_ = static_cast<int32_t>(number);
    }
    ShowRelative();
}

void NTQuilHex::DirKeyDown(int key) {
    if (!PageWithin(key, lastIndex_, relativeIndex_)) return;
    txtDir_->setText(QString::number(relativeIndex_));
    ShowRelative();
}

void NTQuilHex::ShowRelative() {
    currentSector_ = RelativeToAbsolute(extents_, relativeIndex_);
    ShowSector();
}

// ---- spin buttons

void NTQuilHex::SpinBlock(int value) {
    if (blockSpinGuard_) return;
    blockSpinGuard_ = true;
    txtBlock_->setFocus();
    BlockKeyDown(value < kSpinNeutral ? Qt::Key_PageUp : Qt::Key_PageDown);
    VScroll1_->setValue(kSpinNeutral);
    QApplication::processEvents();
    blockSpinGuard_ = false;
}

void NTQuilHex::SpinDir(int value) {
    if (dirSpinGuard_) return;
    dirSpinGuard_ = true;
    txtDir_->setFocus();
    if (value < kSpinNeutral) {
        if (relativeIndex_ >= 1) --relativeIndex_;
    } else if (relativeIndex_ < lastIndex_) {
        ++relativeIndex_;
    }
    VScroll2_->setValue(kSpinNeutral);
    QApplication::processEvents();
    txtDir_->setText(QString::number(relativeIndex_));
    ShowRelative();
    dirSpinGuard_ = false;
}

// ---- showing a sector

void NTQuilHex::ShowSector() {
    if (closing_) return;
    txtBlock_->setText(QString::number(currentSector_));
    try {
        if (!ReadViewSector(ctx_, currentSector_, sector_.data())) {
            done(QDialog::Rejected);  // the disk error stays set for the main window
            return;
        }
        const QColor colour = PaletteColor(SectorColourNumber(currentSector_, sector_.data()));
        QStringList offsets, hex, characters;
        for (int line = 0; line < kDumpLines; ++line) {
            const uint8_t* bytes = sector_.data() + line * kBytesPerLine;
            offsets << OffsetText(line);
            hex << HexLine(bytes);
            characters << CharLine(bytes);
        }
        std::vector<EntryMark> dataMarks, textMarks;
        const bool marked = QString::fromStdString(ctx_.geo.FileSystemName).startsWith("FAT") && isDirectory_ &&
                            AbsoluteToRelative(extents_, currentSector_) >= 0;
        if (marked)
            for (const EntryMark& mark : DirectoryMarks(sector_.data(), ctx_.geo.IsFat32))
                (mark.pane == MarkPane::Data ? dataMarks : textMarks).push_back(mark);
        picOffset_->Show(offsets, colour, {});
        picData_->Show(hex, colour, dataMarks);
        picText_->Show(characters, colour, textMarks);
        ++showCount_;
    } catch (const std::exception& error) {
        Fail(error.what());
    }
}

void NTQuilHex::Fail(const std::string& text) {
    errorText_ = text.empty() ? "HexExplorer" : text;
    done(QDialog::Rejected);
}

// ---- walking the tree

void NTQuilHex::OpenEntryAt(int y) {
    if (closing_ || y < 0) return;
    const int row = picText_->Metrics().LineAt(y);
    if (row >= kDumpLines) return;
    const int offset = (row / 2) * kEntrySize;
    const uint8_t* entry = sector_.data() + offset;
    if (entry[0] == kEndOfFolder) return;  // no entry here, nothing to open
    try {
        const uint32_t cluster = EntryFirstCluster(ctx_.geo, entry);
        const QString shortName = ShortName(entry);
        const bool folder = (entry[kAttributesOffset] & kAttrFolder) != 0;
        if (folder && shortName == "..") {
            Parent();
            return;
        }
        if (folder && shortName == ".") return;
        if (depth_ + 1 >= kMostLevels) {
            beep_();  // deeper than the levels the viewer keeps
            return;
        }
        // The name from the volume's own long-name entries, when the entry
        // lies in the folder being looked at.
        const int32_t folderSector = isDirectory_ ? AbsoluteToRelative(extents_, currentSector_) : -1;
        const std::string longName =
            folderSector >= 0 ? EntryLongName(ctx_, extents_, folderSector * kEntriesPerSector + offset / kEntrySize)
                              : DisplayShortName(entry);
        if (!UseChain(cluster)) {
            beep_();  // an empty file or a chain that cannot be followed
            return;
        }
        ++depth_;
        levelCluster_[depth_] = cluster;
        levelName_[depth_] = longName.empty() ? shortName : QString::fromStdString(longName);
        lblDir_->setText(levelName_[depth_]);
        isDirectory_ = folder;
        if (folder) {
            RestartAtFolderTop();
            return;
        }
        // A file: its first sector, and the chain's index with it.
        relativeIndex_ = 0;
        txtDir_->setText("0");
        currentSector_ = static_cast<int32_t>(ClusterSector(ctx_.geo, cluster));
        ShowSector();
    } catch (const std::exception& error) {
        Fail(error.what());
    }
}

void NTQuilHex::Parent() {
    if (closing_) return;
    if (depth_ > 0) --depth_;
    isDirectory_ = true;
    const uint32_t cluster = levelCluster_[depth_];
    if (cluster == 0 || !UseChain(cluster)) UseFixedRoot();
    lblDir_->setText(depth_ > 0 ? levelName_[depth_] : QString(" (root)"));
    RestartAtFolderTop();
}

// ---- keys and closing

void NTQuilHex::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        if (depth_ > 0) Parent();
        else done(QDialog::Rejected);
        return;
    }
    if (event->key() == Qt::Key_F1) {
        ShowHelpPopup(this, kHexExplorerHelpContext);
        return;
    }
    QDialog::keyPressEvent(event);
}

void NTQuilHex::done(int result) {
    closing_ = true;
    Timer1_->stop();
    CloseVolumeForViewing(ctx_);
    QDialog::done(result);
}

}  // namespace quillo::gui
