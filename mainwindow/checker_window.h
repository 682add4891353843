#pragma once
// A small read-only window with what a console checker prints and its
// verdict (ScanDisk's fsck.fat, the system file checker). The checker runs
// in a process group of its own; nothing waits for it, and closing the
// window ends it.
#include <QDialog>
#include <QProcess>

#include <memory>
#include <string>
#include <vector>

class QLabel;
class QPlainTextEdit;
class QTemporaryDir;
class QTimer;

namespace quillo {
struct DriveAssignment;
class VolumeCopy;
}

namespace quillo::gui {

class CheckerWindow : public QDialog {
    Q_OBJECT
public:
    CheckerWindow(const QString& title, int helpContext, QWidget* parent);
    ~CheckerWindow() override;

    // Runs `argv` (program path first). With a volume, the checker is given
    // it as its last argument: the volume's own file when the volume starts
    // it, else a copy of the volume's sectors made first in a temporary
    // folder and removed when the check ends.
    void Run(std::vector<std::string> argv, const DriveAssignment* volume = nullptr);

    // Everything the window shows, and whether the checker has ended.
    QString Text() const;
    bool Finished() const { return finished_; }

    // What a checker's exit status means, in a sentence.
    static QString Verdict(const std::string& program, int exitStatus);

signals:
    void checkFinished();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void CopyStep();
    void StartChecker();
    void Append(const QString& text);
    void End(const QString& verdict);

    int helpContext_;
    QPlainTextEdit* output_ = nullptr;
    QLabel* status_ = nullptr;
    QProcess* process_ = nullptr;
    QTimer* copyTimer_ = nullptr;
    std::unique_ptr<QTemporaryDir> scratch_;
    std::unique_ptr<VolumeCopy> copy_;
    std::vector<std::string> argv_;
    bool finished_ = false;
};

}  // namespace quillo::gui
