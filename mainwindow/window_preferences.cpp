// The Preferences items and About: the preferences dialog on one page, and
// the display options applied again after the Display page.
#include <QLabel>
#include <QListWidget>

#include "mainwindow/main_window.h"
#include "mainwindow/size_chart_view.h"
#include "preferences/settings.h"

namespace quillo::gui {

bool NTQuilF::OnPreferencesItem(const QString& name) {
    if (name == "DisplaySettings_") {
        OpenPreferences("Display");
        ReapplyDisplayOptions();
    } else if (name == "DefragSettings_") {
        OpenPreferences("Defrag");
    } else if (name == "AutoSettings_") {
        OpenPreferences("Auto");
    } else if (name == "SchedSettings") {
        OpenPreferences("Schedule");
    } else if (name == "About_") {
        if (!RunInProgress) OpenPreferences("About");
    } else {
        return false;
    }
    return true;
}

void NTQuilF::OpenPreferences(const std::string& keyword) {
    PageKeyword = keyword;
    std::vector<std::string> drives;
    for (int i = 1; i < DriveMenu::kItemCount; ++i)
        if (driveMenu_.items[i].visible) drives.push_back(driveMenu_.items[i].caption);
    SettingsHooks hooks;
    hooks.showCritical = [this](const QString& text) { hooks_.showMessage(MessageStyle::Critical, text); };
    hooks.beep = hooks_.beep;
    Settings dialog(this, PageKeyword, {ctx_->options, store_, registry_, drives}, hooks);
    dialog.exec();
}

void NTQuilF::ReapplyDisplayOptions() {
    const Options& options = ctx_->options;
    lstLarge_->setVisible(!options.HideLargeList);
    Label12_->setVisible(!options.HideLargeList);
    PicHistoF_->setVisible(!options.HideHisto);
    Arrange();  // the list starts right of the graph, or at its left edge when it is hidden
    if (options.StartMaximized && !isMaximized()) showMaximized();
    else if (!options.StartMaximized && isMaximized()) showNormal();
}

}  // namespace quillo::gui
