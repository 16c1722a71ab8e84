#pragma once
// Runs the wallpaper generation on a worker thread, one run at a time, so the window stays
// responsive while desktop tools hand the picture over (they may take seconds).

#include <QObject>
#include <functional>
#include <mutex>
#include <thread>

namespace tavolin {

class GenerationRunner : public QObject {
    Q_OBJECT

public:
    /// The work of one run; true when the wallpaper was written and handed over.
    using Job = std::function<bool()>;

    explicit GenerationRunner(QObject* parent = nullptr);
    /// Waits for a run still in progress: its files must not be left half written.
    ~GenerationRunner() override;

    /// The work of each run (the dialog sets one generation; tests their own).
    void setJob(Job job);

    /// Starts a run; false (and nothing started) while one is still going.
    bool start();
    bool isBusy() const { return m_busy; }

    /// Blocks until the current run has ended and its finished signal was delivered.
    void waitForIdle();

signals:
    void started();
    void finished(bool succeeded);

private:
    void joinWorker();

    Job m_job;
    bool m_busy = false;  // touched on the UI thread only
    std::thread m_worker;
};

}  // namespace tavolin
