// The "Defrag" page: the engine's options and the two size limits.
#include <QCheckBox>
#include <QGroupBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/option_store.h"
#include "preferences/boolean_fields.h"
#include "preferences/settings.h"

namespace quillo::gui {
namespace {

constexpr int kSmallestLimit = 10;  // megabytes
const QColor kFailedText(192, 0, 0);

namespace k = option_keys;
constexpr std::array<BooleanOption, 5> kDefragBooleans{{
    {k::Background, &Options::Background},
    {k::NoHugeDefrag, &Options::NoHugeDefrag},
    {k::NoHugePack, &Options::NoHugePack},
    {k::Silent, &Options::Silent},
    {k::FixedRegistry, &Options::FixedRegistry},
}};

void SetTextColour(QLineEdit* field, const QColor& colour) {
    QPalette palette = field->palette();
    palette.setColor(QPalette::Text, colour);
    field->setPalette(palette);
}

}  // namespace

void Settings::BuildDefragPage() {
    QGroupBox* frame = MakeFrame(3);
    static constexpr const char* kCaptions[5] = {"Allow shared writes", "Do not defrag  files >",
                                                 "Do not pack files  >", "Silent", "Do not move registry"};
    auto* grid = new QGridLayout;
    for (int i = 0; i < 5; ++i) {
        DefragChk_[i] = new QCheckBox(kCaptions[i], frame);
        DefragChk_[i]->setObjectName(QString("DefragChk_%1").arg(i));
        grid->addWidget(DefragChk_[i], i, 0);
        if (i != 1 && i != 2) continue;
        const int field = i - 1;
        QLineEdit* text = DefragTxt_[field] = new QLineEdit(frame);
        text->setObjectName(QString("DefragTxt_%1").arg(field));
        text->setFixedWidth(text->fontMetrics().horizontalAdvance("00000") + 12);
        // Any edit turns a field that failed validation black again.
        connect(text, &QLineEdit::textChanged, this, [text] { SetTextColour(text, Qt::black); });
        auto* unit = new QLabel("MB", frame);
        unit->setObjectName(QString("Defrag_%1").arg(field));
        grid->addWidget(text, i, 1);
        grid->addWidget(unit, i, 2);
    }
    static_cast<QVBoxLayout*>(frame->layout())->addLayout(grid);
    AddPageButtons(3, DefragCmd_, "DefragCmd");
    connect(DefragCmd_[0], &QPushButton::clicked, this, &Settings::DefragOk);
}

void Settings::FillDefragPage() {
    const Options& o = sources_.options;
    ShowBooleanOptions(DefragChk_, kDefragBooleans, o);
    DefragTxt_[0]->setText(QString::number(o.DefragLim));
    DefragTxt_[1]->setText(QString::number(o.PackLim));
}

void Settings::DefragOk() {
    for (QLineEdit* field : DefragTxt_) {
        if (NumericValue(field->text().toStdString()) >= kSmallestLimit) continue;
        field->setText(QString::number(kSmallestLimit));
        SetTextColour(field, kFailedText);
        hooks_.beep();
        return;
    }
    Options& o = sources_.options;
    SaveBooleanOptions(DefragChk_, kDefragBooleans, sources_.store, o);
    const char* limitKeys[2] = {k::DefragLim, k::PackLim};
    int32_t* limits[2] = {&o.DefragLim, &o.PackLim};
    for (int i = 0; i < 2; ++i) {
        std::string field = DefragTxt_[i]->text().toStdString();
        *limits[i] = SaveNumericOption(sources_.store, limitKeys[i], field);
        DefragTxt_[i]->setText(QString::fromStdString(field));
    }
    accept();
}

}  // namespace quillo::gui
