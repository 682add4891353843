#include "mainwindow/image_toolbar.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <functional>
#include <utility>

#include "mainwindow/toolbar_icons.h"

namespace quillo::gui {

namespace {

constexpr int kMargin = 2;
constexpr int kButtonGap = 2;
constexpr int kStopGap = 10;
constexpr int kStopSlot = 5;

// Stacking order: faces at the bottom, pressed faces over them, icons on top.
enum class Layer { Face, Pressed, Icon };

struct Placement {
    int slot;  // 0..4 the buttons, 5 the Stop button, -1 not an element
    Layer layer;
};

constexpr Placement kPlacements[kToolbarElementCount] = {
    {0, Layer::Face},    {1, Layer::Face},    {2, Layer::Face},    {3, Layer::Face},     // 0..3
    {4, Layer::Face},    {0, Layer::Icon},    {1, Layer::Icon},    {2, Layer::Icon},     // 4..7
    {3, Layer::Icon},    {4, Layer::Icon},    {5, Layer::Face},    {5, Layer::Pressed},  // 8..11
    {0, Layer::Pressed}, {1, Layer::Icon},    {2, Layer::Pressed}, {3, Layer::Pressed},  // 12..15
    {4, Layer::Pressed}, {-1, Layer::Face},   {1, Layer::Pressed}, {0, Layer::Icon},     // 16..19
    {2, Layer::Icon},    {3, Layer::Icon},    {4, Layer::Icon},                          // 20..22
};

constexpr int kActiveIcons[] = {5, 7, 8, 9};
constexpr int kGreyedIcons[] = {19, 20, 21, 22};
constexpr int kDiskFaces[] = {0, 2, 3, 4};  // under the icons above

const char* ToolTipOf(int element) {
    switch (element) {
        case 0: case 5: return "Defragment disk";
        case 1: case 13: return "List fragments";
        case 6: return "List fragments (inactive)";
        case 2: case 7: return "Previous disk";
        case 3: case 8: return "Next disk";
        case 4: case 9: return "Check disk";
        default: return nullptr;
    }
}

int PressedFaceOf(ToolbarAction action) {
    switch (action) {
        case ToolbarAction::Defragment: return 12;
        case ToolbarAction::ListFragments: return 18;
        case ToolbarAction::PreviousDisk: return 14;
        case ToolbarAction::NextDisk: return 15;
        case ToolbarAction::CheckDisk: return 16;
        case ToolbarAction::Stop: return 11;
        case ToolbarAction::None: break;
    }
    return -1;
}

bool Exists(int element) {
    return element >= 0 && element < kToolbarElementCount && kPlacements[element].slot >= 0;
}

// One picture of the array. Clicks are reported only when enabled (Qt does
// not deliver mouse events to a disabled widget) and released over it.
class ToolbarElement final : public QWidget {
public:
    ToolbarElement(int element, QPixmap picture, std::function<void(int)> onClick, QWidget* parent)
        : QWidget(parent), element_(element), picture_(std::move(picture)), onClick_(std::move(onClick)) {
        setObjectName(QString("Image1_%1").arg(element));
        setAttribute(Qt::WA_TranslucentBackground);
        resize(picture_.size());
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.drawPixmap(0, 0, picture_);
    }
    void mousePressEvent(QMouseEvent* event) override {
        pressed_ = event->button() == Qt::LeftButton;
        event->accept();
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        const bool wasPressed = std::exchange(pressed_, false);
        event->accept();
        if (wasPressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
            onClick_(element_);
    }

private:
    int element_;
    QPixmap picture_;
    std::function<void(int)> onClick_;
    bool pressed_ = false;
};

}  // namespace

ImageToolbar::ImageToolbar(QWidget* parent) : QWidget(parent) {
    setObjectName("Image1");
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    for (Layer layer : {Layer::Face, Layer::Pressed, Layer::Icon}) {
        for (int element = 0; element < kToolbarElementCount; ++element) {
            if (!Exists(element) || kPlacements[element].layer != layer) continue;
            auto* widget = new ToolbarElement(element, ToolbarImage(element),
                                              [this](int clicked) { OnElementClicked(clicked); }, this);
            if (const char* tip = ToolTipOf(element)) widget->setToolTip(tip);
            widget->move(BasePosition(element));
            widget->raise();  // later layers lie over earlier ones
            widget->setVisible(element <= 9);
            elements_[element] = widget;
        }
    }
    resize(sizeHint());
}

QPoint ImageToolbar::BasePosition(int element) const {
    const Placement& place = kPlacements[element];
    int x = kMargin + place.slot * (kToolbarFaceSize + kButtonGap);
    if (place.slot == kStopSlot) x += kStopGap;
    const int inset = place.layer == Layer::Icon ? (kToolbarFaceSize - kToolbarIconSize) / 2 : 0;
    return {x + inset, kMargin + inset};
}

QSize ImageToolbar::sizeHint() const {
    const int stopRight = kMargin + kStopSlot * (kToolbarFaceSize + kButtonGap) + kStopGap + kToolbarFaceSize;
    return {stopRight + kMargin, kToolbarFaceSize + 2 * kMargin};
}

void ImageToolbar::SetElementVisible(int element, bool visible) {
    if (Exists(element)) elements_[element]->setVisible(visible);
}

bool ImageToolbar::IsElementVisible(int element) const {
    return Exists(element) && !elements_[element]->isHidden();
}

QWidget* ImageToolbar::Element(int element) const { return Exists(element) ? elements_[element] : nullptr; }

void ImageToolbar::SetEnabled(bool enabled) {
    for (int element = 0; element <= 9; ++element) elements_[element]->setEnabled(enabled);
    // 13 covers button 1 as 6 does; left enabled it would open a list in the middle of a run.
    elements_[13]->setEnabled(enabled);
}

void ImageToolbar::ShowGreyedIcons(bool greyed) {
    for (int element : kActiveIcons) SetElementVisible(element, !greyed);
    for (int element : kGreyedIcons) SetElementVisible(element, greyed);
}

void ImageToolbar::SetRunning(bool running) {
    ShowGreyedIcons(running);
    SetElementVisible(10, running);
    if (running)
        SetListFragmentsActive(false);
    else
        SetElementVisible(11, false);
}

void ImageToolbar::SetDiskButtonsGreyed(bool greyed) {
    ShowGreyedIcons(greyed);
    for (int face : kDiskFaces) elements_[face]->setEnabled(!greyed);
}

void ImageToolbar::SetListFragmentsActive(bool active) {
    SetElementVisible(6, !active);
    SetElementVisible(13, active);
}

void ImageToolbar::ShowPressedFace(ToolbarAction action, bool shown) {
    const int face = PressedFaceOf(action);
    if (face < 0) return;
    SetElementVisible(face, shown);
    const int slot = kPlacements[face].slot;
    for (int element = 0; element < kToolbarElementCount; ++element) {
        if (!Exists(element) || kPlacements[element].slot != slot || kPlacements[element].layer != Layer::Icon)
            continue;
        elements_[element]->move(BasePosition(element) + (shown ? QPoint(1, 1) : QPoint(0, 0)));
    }
}

ToolbarAction ImageToolbar::ActionForElement(int element) const {
    switch (element) {
        case 0: case 5: return ToolbarAction::Defragment;
        case 1: case 13: return IsElementVisible(13) ? ToolbarAction::ListFragments : ToolbarAction::None;
        case 2: case 7: return ToolbarAction::PreviousDisk;
        case 3: case 8: return ToolbarAction::NextDisk;
        case 4: case 9: return ToolbarAction::CheckDisk;
        case 10: return ToolbarAction::Stop;
        default: return ToolbarAction::None;  // 6 (inactive list), greyed icons, pressed faces
    }
}

void ImageToolbar::OnElementClicked(int element) {
    if (element == 10) SetElementVisible(11, true);
    const ToolbarAction action = ActionForElement(element);
    if (action != ToolbarAction::None) emit command(action);
}

void ImageToolbar::mousePressEvent(QMouseEvent* event) {
    // Clicks between the pictures, or on a disabled one, end here and do nothing.
    event->accept();
}

}  // namespace quillo::gui
