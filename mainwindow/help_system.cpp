#include "mainwindow/help_system.h"

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QRegularExpression>
#include <QSplitter>
#include <QTextBrowser>
#include <QTextDocument>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace quillo::gui {
namespace {

constexpr char kContentsTopic[] = "qrc:/help/contents.html";
constexpr char kTopicFolder[] = ":/help";

QString TopicUrl(int context) { return QString("qrc:/help/%1.html").arg(context); }

QString ReadResource(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll());
}

QString TitleOf(const QString& html) {
    static const QRegularExpression title("<title>(.*?)</title>", QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = title.match(html);
    return match.hasMatch() ? match.captured(1).trimmed() : QString();
}

// The words of a topic as a reader sees them, without the markup.
QString PlainText(const QString& html) {
    QTextDocument document;
    document.setHtml(html);
    return document.toPlainText();
}

// The help window: the topic list with a search box beside one browser over
// the topics, with back, forward and contents.
class HelpWindow final : public QDialog {
public:
    explicit HelpWindow(QWidget* parent) : QDialog(parent) {
        setObjectName("HelpWindow");
        setWindowTitle("Quillo Help");
        setAttribute(Qt::WA_DeleteOnClose);
        auto* back = MakeButton("&Back");
        auto* forward = MakeButton("&Forward");
        auto* contents = MakeButton("&Contents");
        back->setEnabled(false);
        forward->setEnabled(false);
        search_ = new QLineEdit(this);
        search_->setObjectName("HelpSearch");
        search_->setPlaceholderText("word to find");
        auto* searchLabel = new QLabel("&Search:", this);
        searchLabel->setBuddy(search_);
        list_ = new QListWidget(this);
        list_->setObjectName("HelpTopicList");
        browser_ = new QTextBrowser(this);
        browser_->setObjectName("HelpBrowser");
        browser_->setOpenLinks(true);

        connect(back, &QToolButton::clicked, browser_, &QTextBrowser::backward);
        connect(forward, &QToolButton::clicked, browser_, &QTextBrowser::forward);
        connect(contents, &QToolButton::clicked, browser_, &QTextBrowser::home);
        connect(browser_, &QTextBrowser::backwardAvailable, back, &QToolButton::setEnabled);
        connect(browser_, &QTextBrowser::forwardAvailable, forward, &QToolButton::setEnabled);
        connect(search_, &QLineEdit::textChanged, this, &HelpWindow::Filter);
        connect(search_, &QLineEdit::returnPressed, this, [this] { OpenItem(FirstShown()); });
        connect(list_, &QListWidget::itemActivated, this, &HelpWindow::OpenItem);
        connect(list_, &QListWidget::itemClicked, this, &HelpWindow::OpenItem);

        for (const HelpTopicEntry& topic : HelpTopics()) {
            auto* item = new QListWidgetItem(topic.title, list_);
            item->setData(Qt::UserRole, topic.context);
        }
        list_->sortItems();
        auto* buttons = new QHBoxLayout;
        buttons->addWidget(back);
        buttons->addWidget(forward);
        buttons->addWidget(contents);
        buttons->addStretch();
        auto* side = new QWidget(this);
        auto* sideLayout = new QVBoxLayout(side);
        sideLayout->setContentsMargins(0, 0, 0, 0);
        auto* searchRow = new QHBoxLayout;
        searchRow->addWidget(searchLabel);
        searchRow->addWidget(search_);
        sideLayout->addLayout(searchRow);
        sideLayout->addWidget(list_);
        auto* splitter = new QSplitter(this);
        splitter->addWidget(side);
        splitter->addWidget(browser_);
        splitter->setStretchFactor(1, 1);
        auto* layout = new QVBoxLayout(this);
        layout->addLayout(buttons);
        layout->addWidget(splitter);
        browser_->setSource(QUrl(kContentsTopic));
        resize(820, 540);
        splitter->setSizes({260, 560});
        search_->setFocus();  // type a word and Enter opens the first topic that has it
    }

private:
    QToolButton* MakeButton(const QString& caption) {
        auto* button = new QToolButton(this);
        button->setText(caption);
        return button;
    }

    void Filter(const QString& query) {
        const std::vector<int> found = SearchHelp(query);
        for (int row = 0; row < list_->count(); ++row) {
            QListWidgetItem* item = list_->item(row);
            const int context = item->data(Qt::UserRole).toInt();
            item->setHidden(std::find(found.begin(), found.end(), context) == found.end());
        }
    }

    QListWidgetItem* FirstShown() const {
        for (int row = 0; row < list_->count(); ++row)
            if (!list_->item(row)->isHidden()) return list_->item(row);
        return nullptr;
    }

    void OpenItem(QListWidgetItem* item) {
        if (item != nullptr) browser_->setSource(QUrl(TopicUrl(item->data(Qt::UserRole).toInt())));
    }

    QLineEdit* search_ = nullptr;
    QListWidget* list_ = nullptr;
    QTextBrowser* browser_ = nullptr;
};

// A topic shown beside the window that asked for it; Esc or a click
// elsewhere closes it. Its links lead to other topics in place.
class HelpPopup final : public QTextBrowser {
public:
    HelpPopup(QWidget* anchor, const QUrl& topic, int context) : QTextBrowser(anchor) {
        setObjectName(kHelpPopupName);
        setProperty(kHelpPopupContext, context);
        setWindowFlags(Qt::Popup);
        setAttribute(Qt::WA_DeleteOnClose);
        setSource(topic);
        resize(420, 280);
    }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Escape) close();
        else QTextBrowser::keyPressEvent(event);
    }
};

}  // namespace

QString HelpTopic(int context) {
    return ReadResource(QString(":/help/%1.html").arg(context));
}

std::vector<HelpTopicEntry> HelpTopics() {
    std::vector<HelpTopicEntry> topics;
    for (const QString& file : QDir(kTopicFolder).entryList({"*.html"}, QDir::Files)) {
        bool isNumber = false;
        const int context = QFileInfo(file).baseName().toInt(&isNumber);
        if (isNumber) topics.push_back({context, TitleOf(HelpTopic(context))});
    }
    std::sort(topics.begin(), topics.end(),
              [](const HelpTopicEntry& a, const HelpTopicEntry& b) { return a.context < b.context; });
    return topics;
}

std::vector<int> SearchHelp(const QString& query) {
    const QStringList words = query.split(QRegularExpression("\\s+"), Qt::SkipEmptyParts);
    std::vector<int> found;
    for (const HelpTopicEntry& topic : HelpTopics()) {
        const QString text = PlainText(HelpTopic(topic.context));
        if (std::all_of(words.begin(), words.end(),
                        [&](const QString& word) { return text.contains(word, Qt::CaseInsensitive); }))
            found.push_back(topic.context);
    }
    return found;
}

void ShowHelpPopup(QWidget* anchor, int context) {
    const QUrl topic = HelpTopic(context).isEmpty() ? QUrl(kContentsTopic) : QUrl(TopicUrl(context));
    auto* popup = new HelpPopup(anchor, topic, context);
    const QWidget* window = anchor != nullptr ? anchor->window() : nullptr;
    if (window != nullptr) popup->move(window->geometry().topLeft() + QPoint(40, 40));
    popup->show();
}

void ShowHelpContents(QWidget* parent) {
    static QPointer<HelpWindow> window;
    if (window == nullptr) window = new HelpWindow(parent);
    window->show();
    window->raise();
    window->activateWindow();
}

}  // namespace quillo::gui
