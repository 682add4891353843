#pragma once
// The help: one HTML topic per help context number, shipped inside the
// program as resources (":/help/<context>.html", contents in
// ":/help/contents.html"). Every window reaches it through these calls.
#include <QString>

#include <vector>

class QWidget;

namespace quillo::gui {

// The HTML of the topic for `context`; empty when there is none.
QString HelpTopic(int context);

// Pops the topic of `context` up beside `anchor` (F1, a page's Help button);
// a context without a topic of its own shows the contents.
void ShowHelpPopup(QWidget* anchor, int context);

// Opens the help window at its contents (Help > Topics), or raises it.
void ShowHelpContents(QWidget* parent);

// Every topic with its title (the page's <title>), in context-number order.
struct HelpTopicEntry {
    int context = 0;
    QString title;
};
std::vector<HelpTopicEntry> HelpTopics();

// The topics whose text holds every word of `query`, in any case, in
// context-number order. An empty query matches every topic.
std::vector<int> SearchHelp(const QString& query);

// The object name of the pop-up, and the property that holds its context
// number, so a test can find what F1 showed.
inline constexpr char kHelpPopupName[] = "HelpPopup";
inline constexpr char kHelpPopupContext[] = "helpContext";

}  // namespace quillo::gui
