// The dialog's frame: placement, the first activation by keyword, showing a
// page, the page buttons and F1.
#include "preferences/settings.h"

#include <QApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QVBoxLayout>

#include "mainwindow/help_system.h"
#include "platform/program_folder.h"
#include "platform/startup_launcher.h"
#include "preferences/settings_pages.h"

namespace quillo::gui {

Settings::Settings(QWidget* mainWindow, std::string pageKeyword, SettingsSources sources, SettingsHooks hooks)
    : QDialog(mainWindow), pageKeyword_(std::move(pageKeyword)), sources_(std::move(sources)),
      hooks_(std::move(hooks)) {
    setObjectName("Settings");
    setModal(true);
    if (!hooks_.showCritical)
        hooks_.showCritical = [this](const QString& text) { QMessageBox::critical(this, "Quillo", text); };
    if (!hooks_.beep) hooks_.beep = [] { QApplication::beep(); };
    if (!hooks_.today) hooks_.today = [] { return LocalToday(); };
    if (hooks_.launcherPath.empty()) hooks_.launcherPath = ProgramFolder() + "/" + kLauncherProgramName;
    if (hooks_.autostartEntryPath.empty()) hooks_.autostartEntryPath = AutostartEntryPath();

    BuildAboutPage();
    BuildDefragPage();
    BuildAutoPage();
    BuildSchedulePage();
    BuildDisplayPage();
    for (QGroupBox* frame : Frame1_)
        if (frame != nullptr) frame->hide();

    // F1 anywhere in the dialog: the page's topic, and the key goes no further.
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(f1, &QShortcut::activated, this, [this] { ShowHelpPopup(this, helpContext_); });

    if (mainWindow != nullptr) move(mainWindow->frameGeometry().topLeft() + QPoint(70, 40));
}

QGroupBox* Settings::MakeFrame(int frame) {
    auto* box = new QGroupBox(SettingsPageOfFrame(frame)->caption, this);
    box->setObjectName(QString("Frame1_%1").arg(frame));
    Frame1_[frame] = box;
    auto* layout = new QVBoxLayout(box);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    return box;
}

void Settings::AddPageButtons(int frame, std::array<QPushButton*, 3>& buttons, const char* arrayName) {
    QGroupBox* box = Frame1_[frame];
    static constexpr const char* kCaptions[3] = {"OK", "Cancel", "Help"};
    auto* row = new QHBoxLayout;
    row->addStretch();
    for (int i = 0; i < 3; ++i) {
        buttons[i] = new QPushButton(kCaptions[i], box);
        buttons[i]->setObjectName(QString("%1_%2").arg(arrayName).arg(i));
        row->addWidget(buttons[i]);
    }
    static_cast<QVBoxLayout*>(box->layout())->addLayout(row);
    connect(buttons[1], &QPushButton::clicked, this, &QDialog::reject);
    const int context = SettingsPageOfFrame(frame)->helpContext;
    connect(buttons[2], &QPushButton::clicked, this, [this, context] { ShowHelpPopup(this, context); });
    defaultButton_[frame] = buttons[1];
}

void Settings::showEvent(QShowEvent* event) {
    if (!activated_) {
        activated_ = true;
        FirstActivation();
    }
    QDialog::showEvent(event);
}

void Settings::FirstActivation() {
    if (pageKeyword_ == "Defrag") FillDefragPage();
    else if (pageKeyword_ == "Auto") FillAutoPage();
    else if (pageKeyword_ == "Schedule") FillSchedulePage();
    else if (pageKeyword_ == "Display") FillDisplayPage();
    if (const SettingsPage* page = FindSettingsPage(pageKeyword_)) ShowPage(page->frame);
}

void Settings::ShowPage(int frame) {
    QGroupBox* box = Frame1_[frame];
    box->adjustSize();
    box->move(3, 2);
    setFixedSize(box->width() + 6, box->height() + 4);
    helpContext_ = SettingsPageOfFrame(frame)->helpContext;
    setWindowTitle(frame == 0 ? "About Quillo" : "Quillo Preferences");
    // The default button: Enter presses it unless the focus is on another button.
    defaultButton_[frame]->setDefault(true);
    box->show();
    // The focus starts on the page's first field (on the About page, OK); in
    // a group of option buttons, on the chosen one.
    for (QWidget* child : box->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        auto* option = qobject_cast<QRadioButton*>(child);
        if (!(child->focusPolicy() & Qt::TabFocus) || (option != nullptr && !option->isChecked())) continue;
        child->setFocus();
        break;
    }
}

}  // namespace quillo::gui
