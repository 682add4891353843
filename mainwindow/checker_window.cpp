#include "mainwindow/checker_window.h"

#include <unistd.h>

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>

#include "disk/volume_copy.h"
#include "mainwindow/help_system.h"

namespace quillo::gui {
namespace {

constexpr uint64_t kCopyStepBytes = 8u << 20;  // per turn of the event loop

QString CommandText(const std::vector<std::string>& argv) {
    QStringList words;
    for (const std::string& arg : argv) words << QString::fromStdString(arg);
    return words.join(' ');
}

}  // namespace

CheckerWindow::CheckerWindow(const QString& title, int helpContext, QWidget* parent)
    : QDialog(parent), helpContext_(helpContext) {
    setObjectName("CheckerWindow");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(title);
    output_ = new QPlainTextEdit(this);
    output_->setReadOnly(true);
    output_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    output_->setLineWrapMode(QPlainTextEdit::NoWrap);
    status_ = new QLabel(this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(output_);
    layout->addWidget(status_);
    layout->addWidget(buttons);
    resize(640, 420);
    buttons->button(QDialogButtonBox::Close)->setFocus();
}

CheckerWindow::~CheckerWindow() {
    if (process_ != nullptr && process_->state() != QProcess::NotRunning) {
        process_->kill();
        process_->waitForFinished(2000);
    }
}

void CheckerWindow::Run(std::vector<std::string> argv, const DriveAssignment* volume) {
    argv_ = std::move(argv);
    if (volume == nullptr) {
        StartChecker();
        return;
    }
    if (VolumeStartsItsFile(*volume)) {
        argv_.push_back(volume->path);
        StartChecker();
        return;
    }
    scratch_ = std::make_unique<QTemporaryDir>();
    const std::string target = scratch_->filePath("volume.img").toStdString();
    copy_ = std::make_unique<VolumeCopy>(*volume, target);
    if (!copy_->Error().empty()) {
        End("The volume could not be copied for the check: " + QString::fromStdString(copy_->Error()) + ".");
        return;
    }
    Append(QString("The volume starts %1 bytes into %2:\nthe checker reads a copy of its sectors, "
                   "removed when the check ends.")
               .arg(volume->volume.byteOffset)
               .arg(QString::fromStdString(volume->path)));
    argv_.push_back(target);
    copyTimer_ = new QTimer(this);
    copyTimer_->setInterval(0);
    connect(copyTimer_, &QTimer::timeout, this, &CheckerWindow::CopyStep);
    copyTimer_->start();
}

void CheckerWindow::CopyStep() {
    if (!copy_->Step(kCopyStepBytes)) {
        copyTimer_->stop();
        End("The volume could not be copied for the check: " + QString::fromStdString(copy_->Error()) + ".");
        return;
    }
    status_->setText(QString("Copying the volume: %1 %").arg(copy_->Percent()));
    if (!copy_->Done()) return;
    copyTimer_->stop();
    copy_.reset();
    StartChecker();
}

void CheckerWindow::StartChecker() {
    Append(CommandText(argv_));
    status_->setText("Checking...");
    process_ = new QProcess(this);
    process_->setProcessChannelMode(QProcess::MergedChannels);
    process_->setStandardInputFile(QProcess::nullDevice());
    // A process group of its own: a Ctrl+C meant for us never reaches it.
    process_->setChildProcessModifier([] { setpgid(0, 0); });
    connect(process_, &QProcess::readyReadStandardOutput, this,
            [this] { Append(QString::fromLocal8Bit(process_->readAllStandardOutput()).trimmed()); });
    connect(process_, &QProcess::finished, this, [this](int exitCode, QProcess::ExitStatus status) {
        const std::string program = QFileInfo(QString::fromStdString(argv_.front())).fileName().toStdString();
        End(status == QProcess::NormalExit ? Verdict(program, exitCode)
                                           : QString::fromStdString(program) + " ended before it was done.");
    });
    connect(process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) End("The checker could not be started.");
    });
    QStringList arguments;
    for (size_t i = 1; i < argv_.size(); ++i) arguments << QString::fromStdString(argv_[i]);
    process_->start(QString::fromStdString(argv_.front()), arguments);
}

void CheckerWindow::Append(const QString& text) {
    if (!text.isEmpty()) output_->appendPlainText(text);
}

void CheckerWindow::End(const QString& verdict) {
    if (finished_) return;
    finished_ = true;
    output_->appendPlainText("\n" + verdict);
    status_->setText(verdict);
    scratch_.reset();  // the copy of the volume goes with its folder
    emit checkFinished();
}

QString CheckerWindow::Text() const { return output_->toPlainText(); }

QString CheckerWindow::Verdict(const std::string& program, int exitStatus) {
    const QString name = QString::fromStdString(program);
    if (program == "fsck.fat") {
        if (exitStatus == 0) return "fsck.fat found no errors on this volume.";
        if (exitStatus == 1)
            return "fsck.fat found errors on this volume. Nothing was changed: repair them with "
                   "fsck.fat -a while no program uses the volume.";
    }
    if (program == "debsums") {
        if (exitStatus == 0) return "Every installed file matches its package.";
        if (exitStatus == 2) return "The files listed above differ from their packages.";
    }
    return QString("%1 ended with exit status %2.").arg(name).arg(exitStatus);
}

void CheckerWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        ShowHelpPopup(this, helpContext_);
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace quillo::gui
