#pragma once
// The main window's toolbar: the `Image1` control array of pictures. Five
// buttons (faces 0..4 with their icons on top and their pressed faces between)
// and, after them, the Stop button (10, pressed 11) that shows only during a run.
#include <QWidget>
#include <array>

namespace quillo::gui {

// `Image1`(0..22); 17 does not exist.
inline constexpr int kToolbarElementCount = 23;

enum class ToolbarAction { None, Defragment, ListFragments, PreviousDisk, NextDisk, CheckDisk, Stop };

class ImageToolbar : public QWidget {
    Q_OBJECT
public:
    explicit ImageToolbar(QWidget* parent = nullptr);

    // Shows or hides one element; ignored for an element that does not exist.
    void SetElementVisible(int element, bool visible);
    // Whether the element is shown (not hidden); false when it does not exist.
    bool IsElementVisible(int element) const;
    // Lock (false) / unlock (true) of the buttons: elements 0..9, and 13 (it
    // lies on button 1). A disabled element ignores clicks; Stop is never locked.
    void SetEnabled(bool enabled);
    // Start of a run that scans files: icons 5, 7, 8, 9 give way to the greyed
    // 19..22, Stop (10) shows and "List fragments" turns inactive. End of the
    // run: the reverse, with Stop and its pressed face (11) hidden; the caller
    // then makes "List fragments" active when the run found fragmented files.
    void SetRunning(bool running);
    // No drive to work on: the Defragment, Previous, Next and Check buttons
    // show their greyed icons (19..22) and ignore clicks; false undoes it.
    void SetDiskButtonsGreyed(bool greyed);
    // Active: element 13 shown and 6 hidden; inactive: the reverse.
    void SetListFragmentsActive(bool active);
    // Shows or hides the pressed face of the button that performs `action`
    // (12, 18, 14, 15, 16; 11 for Stop), with its icon pushed in by a pixel.
    void ShowPressedFace(ToolbarAction action, bool shown);

    // What a click on `element` does now (List fragments only while 13 shows).
    ToolbarAction ActionForElement(int element) const;
    // The widget showing `element`; null when it does not exist.
    QWidget* Element(int element) const;

    QSize sizeHint() const override;

signals:
    // A click on an enabled element that has an action. A click on Stop (10)
    // shows its pressed face (11) first.
    void command(quillo::gui::ToolbarAction action);

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    void OnElementClicked(int element);
    void ShowGreyedIcons(bool greyed);
    QPoint BasePosition(int element) const;

    std::array<QWidget*, kToolbarElementCount> elements_{};
};

}  // namespace quillo::gui
