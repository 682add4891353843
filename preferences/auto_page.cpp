// The "AutoDefrag" page: the drives an automatic run defragments, its window
// state and its lock.
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "mainwindow/drive_list.h"
#include "platform/option_store.h"
#include "preferences/settings.h"

namespace quillo::gui {

void Settings::BuildAutoPage() {
    QGroupBox* frame = MakeFrame(4);
    auto* grid = new QGridLayout;
    auto* drives = new QLabel("Drives:", frame);
    drives->setObjectName("Auto_0");
    AutoList_ = new QListWidget(frame);
    AutoList_->setObjectName("AutoList");
    AutoList_->setSelectionMode(QAbstractItemView::MultiSelection);
    AutoList_->setFixedHeight(AutoList_->fontMetrics().height() * 6);
    drives->setBuddy(AutoList_);
    auto* window = new QLabel("Window:", frame);
    window->setObjectName("Auto_1");
    RunAs_ = new QComboBox(frame);
    RunAs_->setObjectName("RunAs");
    RunAs_->addItems({"Normal Window", "Minimized", "Maximised"});
    window->setBuddy(RunAs_);
    AutoChk_ = new QCheckBox("Allow shared writes", frame);
    AutoChk_->setObjectName("AutoChk");
    grid->addWidget(drives, 0, 0, Qt::AlignTop);
    grid->addWidget(AutoList_, 0, 1);
    grid->addWidget(window, 1, 0);
    grid->addWidget(RunAs_, 1, 1);
    grid->addWidget(AutoChk_, 2, 0, 1, 2);
    static_cast<QVBoxLayout*>(frame->layout())->addLayout(grid);
    AddPageButtons(4, AutoCmd_, "AutoCmd");
    connect(AutoCmd_[0], &QPushButton::clicked, this, &Settings::AutoOk);
}

void Settings::FillAutoPage() {
    const Options& o = sources_.options;
    for (const std::string& caption : sources_.driveCaptions)
        AutoList_->addItem(QString::fromStdString(caption.substr(caption.empty() ? 0 : 1)));
    // The stored letters, read the way the automatic run reads its list
    // once start-up has put "/" in front of it.
    for (char letter : DriveListLetters("/" + o.AutoDefrag)) {
        for (int row = 0; row < AutoList_->count(); ++row) {
            QListWidgetItem* item = AutoList_->item(row);
            if (item->text().startsWith(QChar(letter))) item->setSelected(true);
        }
    }
    // A stored state that names no item shows the one the window would use.
    RunAs_->setCurrentIndex(o.AutoShow >= 0 && o.AutoShow < RunAs_->count() ? o.AutoShow : 0);
    AutoChk_->setChecked(o.AutoBackground);
}

void Settings::AutoOk() {
    Options& o = sources_.options;
    std::string list;
    for (int row = 0; row < AutoList_->count(); ++row) {
        const QString text = AutoList_->item(row)->text();
        if (!AutoList_->item(row)->isSelected() || text.isEmpty()) continue;
        if (!list.empty()) list += ',';
        list += text.left(1).toStdString();
    }
    o.AutoDefrag = list;
    SaveTextOption(sources_.store, option_keys::AutoDefrag, list);
    o.AutoShow = RunAs_->currentIndex();
    SaveNumber(sources_.store, option_keys::AutoShow, o.AutoShow);
    SaveBooleanOption(sources_.store, option_keys::AutoBackground, AutoChk_->isChecked(), o.AutoBackground);
    accept();
}

}  // namespace quillo::gui
