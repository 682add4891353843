#include "mainwindow/help_system.h"

#include <QDialog>
#include <QFile>
#include <QKeyEvent>
#include <QPointer>
#include <QTextBrowser>
#include <QToolButton>
#include <QVBoxLayout>
#include <QHBoxLayout>

namespace quillo::gui {
namespace {

constexpr char kContentsTopic[] = "qrc:/help/contents.html";

QString TopicUrl(int context) { return QString("qrc:/help/%1.html").arg(context); }

QString ReadResource(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll());
}

// The help window: one browser over the topics, with back and forward.
class HelpWindow final : public QDialog {
public:
    explicit HelpWindow(QWidget* parent) : QDialog(parent) {
        setWindowTitle("Quillo Help");
        setAttribute(Qt::WA_DeleteOnClose);
        auto* back = new QToolButton(this);
        back->setText("&Back");
        auto* forward = new QToolButton(this);
        forward->setText("&Forward");
        auto* contents = new QToolButton(this);
        contents->setText("&Contents");
        browser_ = new QTextBrowser(this);
        browser_->setOpenLinks(true);
        connect(back, &QToolButton::clicked, browser_, &QTextBrowser::backward);
        connect(forward, &QToolButton::clicked, browser_, &QTextBrowser::forward);
        connect(contents, &QToolButton::clicked, browser_, &QTextBrowser::home);
        connect(browser_, &QTextBrowser::backwardAvailable, back, &QToolButton::setEnabled);
        connect(browser_, &QTextBrowser::forwardAvailable, forward, &QToolButton::setEnabled);
        auto* buttons = new QHBoxLayout;
        buttons->addWidget(back);
        buttons->addWidget(forward);
        buttons->addWidget(contents);
        buttons->addStretch();
        auto* layout = new QVBoxLayout(this);
        layout->addLayout(buttons);
        layout->addWidget(browser_);
        browser_->setSource(QUrl(kContentsTopic));
        resize(560, 480);
    }

private:
    QTextBrowser* browser_ = nullptr;
};

// A topic shown beside the window that asked for it; any key or a click
// elsewhere closes it.
class HelpPopup final : public QTextBrowser {
public:
    HelpPopup(QWidget* anchor, const QUrl& topic) : QTextBrowser(anchor) {
        setWindowFlags(Qt::Popup);
        setAttribute(Qt::WA_DeleteOnClose);
        setSource(topic);
        resize(380, 240);
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

void ShowHelpPopup(QWidget* anchor, int context) {
    const QUrl topic = HelpTopic(context).isEmpty() ? QUrl(kContentsTopic) : QUrl(TopicUrl(context));
    auto* popup = new HelpPopup(anchor, topic);
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
