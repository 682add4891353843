// The "Schedule" page: how often the log-in launcher defragments, and its
// registration with the desktop session.
#include <QButtonGroup>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "platform/option_store.h"
#include "platform/startup_launcher.h"
#include "preferences/settings.h"

namespace quillo::gui {
namespace {

namespace si = schedule_interval;
// `Sched`(i) stands for kIntervals[i].
constexpr std::array<int32_t, 4> kIntervals{si::Always, si::Daily, si::Weekly, si::Never};

}  // namespace

void Settings::BuildSchedulePage() {
    QGroupBox* frame = MakeFrame(5);
    static constexpr const char* kCaptions[4] = {"Always", "Once a day", "Once a week", "Never"};
    auto* group = new QButtonGroup(frame);
    for (int i = 0; i < 4; ++i) {
        Sched_[i] = new QRadioButton(kCaptions[i], frame);
        Sched_[i]->setObjectName(QString("Sched_%1").arg(i));
        group->addButton(Sched_[i], i);
        frame->layout()->addWidget(Sched_[i]);
    }
    AddPageButtons(5, SchedCmd_, "SchedCmd");
    connect(SchedCmd_[0], &QPushButton::clicked, this, &Settings::ScheduleOk);
}

// The schedule is shared with the launcher, which writes "Date": both are
// read from the store file as it is now.
void Settings::FillSchedulePage() {
    const int32_t interval = ReadInterval(OptionStore(sources_.store.Path()));
    int choice = 3;  // anything but the three intervals reads as Never
    for (int i = 0; i < 3; ++i)
        if (interval == kIntervals[i]) choice = i;
    Sched_[choice]->setChecked(true);
}

void Settings::ScheduleOk() {
    int32_t interval = si::Never;
    for (int i = 0; i < 4; ++i)
        if (Sched_[i]->isChecked()) {
            interval = kIntervals[i];
            break;
        }
    OptionStore& store = sources_.store;
    SaveNumber(store, option_keys::Interval, interval);
    // A date after today cannot be that of the last run.
    if (ScheduleDateInFuture(ReadScheduleDate(OptionStore(store.Path())), hooks_.today()))
        SaveTextOption(store, option_keys::Date, "");
    if (!UpdateStartupRegistration(sources_.registry, hooks_.autostartEntryPath, interval, hooks_.launcherPath))
        hooks_.showCritical("Error accessing Registry");
    accept();
}

}  // namespace quillo::gui
