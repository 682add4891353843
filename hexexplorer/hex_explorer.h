#pragma once
// HexExplorer: a read-only viewer of the raw sectors of the current drive.
// One sector at a time as offsets, hexadecimal bytes and characters; paging
// by absolute sector number or within the chain of the folder or file being
// looked at; clicking a directory entry opens it. The volume is open for
// reading only (OpenVolumeForViewing) while the window exists, and is closed
// with it.
#include <QDialog>

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/sector_viewer.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;
class QTimer;

namespace quillo {
struct EngineContext;
}

namespace quillo::gui {

class SectorPane;

class NTQuilHex : public QDialog {
    Q_OBJECT
public:
    // The largest directory depth the viewer follows (levels 0 to 20).
    static constexpr int kMostLevels = 21;
    static constexpr int kSpinNeutral = 16384;

    // `ctx` holds the volume opened by OpenVolumeForViewing. `beep` stands in
    // for the system beep (tests count it).
    NTQuilHex(EngineContext& ctx, QWidget* mainWindow, std::function<void()> beep = {});
    ~NTQuilHex() override;

    // The text of an unexpected failure that closed the viewer; empty normally.
    const std::string& ErrorText() const { return errorText_; }

    // The view's state.
    int32_t CurrentSector() const { return currentSector_; }
    int32_t RelativeIndex() const { return relativeIndex_; }
    int32_t LastIndex() const { return lastIndex_; }
    int Depth() const { return depth_; }
    bool IsDirectory() const { return isDirectory_; }
    const SectorExtents& Extents() const { return extents_; }
    int32_t TotalSectors() const { return totalSectors_; }
    const std::vector<uint8_t>& SectorBytes() const { return sector_; }
    // How many times a sector was read and drawn.
    int ShowCount() const { return showCount_; }

    // The controls.
    QLineEdit& txtBlock() { return *txtBlock_; }
    QLineEdit& txtDir() { return *txtDir_; }
    QLabel& lblDir() { return *lblDir_; }
    QScrollBar& VScroll1() { return *VScroll1_; }
    QScrollBar& VScroll2() { return *VScroll2_; }
    QPushButton& Command1() { return *Command1_; }
    SectorPane& picOffset() { return *picOffset_; }
    SectorPane& picData() { return *picData_; }
    SectorPane& picText() { return *picText_; }
    QTimer& Timer1() { return *Timer1_; }

    // Operations, as the timer, the mouse and the keys start them.
    void Start();
    void OpenEntryAt(int y);  // a press at `y` pixels in the character pane
    void Parent();

    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void BuildControls(QWidget* mainWindow);
    // Key filtering of the two number boxes; true when the key was used up.
    bool NumberBoxKey(QLineEdit* box, QKeyEvent* event);
    void BlockEnter();
    void BlockKeyDown(int key);
    void DirEnter();
    void DirKeyDown(int key);
    void SpinBlock(int value);
    void SpinDir(int value);
    void ShowRelative();
    void ShowSector();
    // The chain of `cluster` as the current extents; false when unsound.
    bool UseChain(uint32_t cluster);
    void UseFixedRoot();
    void OpenChain(uint32_t cluster);
    void RestartAtFolderTop();
    void Fail(const std::string& text);
    QString DriveName() const;

    EngineContext& ctx_;
    std::function<void()> beep_;
    std::string errorText_;

    int32_t totalSectors_ = 0;
    int32_t currentSector_ = 0;
    int32_t relativeIndex_ = 0;
    int32_t lastIndex_ = 0;
    SectorExtents extents_;
    int depth_ = 0;
    std::array<uint32_t, kMostLevels> levelCluster_{};
    std::array<QString, kMostLevels> levelName_;
    bool isDirectory_ = true;
    std::vector<uint8_t> sector_;
    bool blockSpinGuard_ = false;
    bool dirSpinGuard_ = false;
    bool closing_ = false;
    int showCount_ = 0;

    QLabel* Label1_ = nullptr;
    QLineEdit* txtBlock_ = nullptr;
    QLineEdit* txtDir_ = nullptr;
    QLabel* lblDir_ = nullptr;
    QScrollBar* VScroll1_ = nullptr;
    QScrollBar* VScroll2_ = nullptr;
    QPushButton* Command1_ = nullptr;
    SectorPane* picOffset_ = nullptr;
    SectorPane* picData_ = nullptr;
    SectorPane* picText_ = nullptr;
    QTimer* Timer1_ = nullptr;
};

}  // namespace quillo::gui
