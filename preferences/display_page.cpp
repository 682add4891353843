// The "Display" page: how the main window opens and which panels it shows.
#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "preferences/boolean_fields.h"
#include "preferences/settings.h"

namespace quillo::gui {
namespace {

namespace k = option_keys;
constexpr std::array<BooleanOption, 3> kDisplayBooleans{{
    {k::StartMaximized, &Options::StartMaximized},
    {k::HideHisto, &Options::HideHisto},
    {k::HideLargeList, &Options::HideLargeList},
}};

}  // namespace

void Settings::BuildDisplayPage() {
    QGroupBox* frame = MakeFrame(6);
    static constexpr const char* kCaptions[3] = {"Maximized display", "Hide File Size graph",
                                                 "Hide Large File list"};
    for (int i = 0; i < 3; ++i) {
        DisplayCheck_[i] = new QCheckBox(kCaptions[i], frame);
        DisplayCheck_[i]->setObjectName(QString("DisplayCheck_%1").arg(i));
        frame->layout()->addWidget(DisplayCheck_[i]);
    }
    AddPageButtons(6, DisplayCmd_, "DisplayCmd");
    connect(DisplayCmd_[0], &QPushButton::clicked, this, &Settings::DisplayOk);
}

void Settings::FillDisplayPage() { ShowBooleanOptions(DisplayCheck_, kDisplayBooleans, sources_.options); }

// The main window applies the new flags when the dialog returns.
void Settings::DisplayOk() {
    SaveBooleanOptions(DisplayCheck_, kDisplayBooleans, sources_.store, sources_.options);
    accept();
}

}  // namespace quillo::gui
