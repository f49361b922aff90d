#pragma once

#include "workbench/workbench.h"

#include <QFrame>
#include <QPointer>
#include <QTimer>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class QLabel;
class QLineEdit;
class QListWidget;

namespace vardo {

// Ctrl+P: a filter field over every file of the project, floating over the window. The files
// are listed on a worker thread and arrive in batches, so a huge tree never stops the window;
// typed letters pick them by subsequence, best first. Enter opens the chosen file as the lists
// would (a .qc or .qh file for editing, any other in the general pane); Esc closes.
class QuickOpen : public QFrame {
    Q_OBJECT

public:
    // How many of the best matches the list shows.
    static constexpr std::size_t kShownRows = 200;

    QuickOpen(Workbench &workbench, QWidget *window);
    ~QuickOpen() override;

    // Lists the project's files anew and takes the keyboard.
    void popUp();
    // The files listed so far, as shown: relative to the project's root where below it.
    const std::vector<std::string> &files() const { return files_; }
    bool isListing() const { return walker_.joinable() && !listed_; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void startListing(const std::string &root);
    void stopListing();
    void arrived(unsigned generation, std::vector<std::string> batch, bool last);
    void refilter();
    void openChosen();
    // Hides the popup and stops a listing still running.
    void dismiss();
    void place();

    Workbench &workbench_;
    QLineEdit *filter_;
    QListWidget *matches_;
    QLabel *count_;
    std::string root_;
    // Where the keyboard goes back to on Esc.
    QPointer<QWidget> before_;
    std::vector<std::string> files_;
    // A refilter after batches arrive, at most this often, so that a long listing costs the
    // window little.
    QTimer refilterSoon_;
    std::thread walker_;
    std::shared_ptr<std::atomic<bool>> stop_;
    unsigned generation_ = 0;
    bool listed_ = false;
};

} // namespace vardo
