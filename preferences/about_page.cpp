// The "About" page: what Quillo is, its version, and what it is built on.
#include <QGroupBox>
#include <QLabel>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtGlobal>

#include "preferences/settings.h"

#ifndef QUILLO_VERSION
#define QUILLO_VERSION "unknown"
#endif

namespace quillo::gui {
namespace {

QString AboutText() {
    return QString(
               "<p><b>Quillo %1</b></p>"
               "<p>A disk optimiser for FAT12, FAT16 and FAT32 volumes on disk images and block "
               "devices: it draws a map of how every file lies, makes fragmented files contiguous, "
               "packs files towards the start of the volume and compacts folders, ordering every "
               "write so that a crash or power cut loses nothing.</p>"
               "<p>Built with Qt %2 (running on Qt %3), used under the GNU Lesser General Public "
               "License version 3; the Qt Company and contributors hold its copyright. The C++ "
               "runtime is the GNU C++ library, under the GNU General Public License version 3 with "
               "the GCC Runtime Library Exception.</p>")
        .arg(QUILLO_VERSION, QT_VERSION_STR, qVersion());
}

}  // namespace

void Settings::BuildAboutPage() {
    QGroupBox* frame = MakeFrame(0);
    auto* text = new QLabel(AboutText(), frame);
    text->setObjectName("AboutText");
    text->setWordWrap(true);
    text->setFixedWidth(text->fontMetrics().averageCharWidth() * 56);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    frame->layout()->addWidget(text);
    AboutOK_ = new QPushButton("OK", frame);
    AboutOK_->setObjectName("AboutOK");
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(AboutOK_);
    static_cast<QVBoxLayout*>(frame->layout())->addLayout(row);
    connect(AboutOK_, &QPushButton::clicked, this, &QDialog::accept);
    defaultButton_[0] = AboutOK_;
}

}  // namespace quillo::gui
