#pragma once
// Runs the wallpaper generation on a worker thread, one run at a time, so the window stays
// responsive while desktop tools hand the picture over (they may take seconds).

#include <QObject>
#include <functional>
#include <stop_token>
#include <thread>

#include "render/WallpaperGenerator.h"

namespace tavolin {

class GenerationRunner : public QObject {
    Q_OBJECT

public:
    /// The work of one run. stop is requested when the runner goes away (the program ends);
    /// the run then ends at its next step and leaves the previous wallpaper.
    using Job = std::function<GenerationResult(std::stop_token stop)>;

    explicit GenerationRunner(QObject* parent = nullptr);
    /// Asks a run still in progress to stop and waits for it: its files must not be left half
    /// written.
    ~GenerationRunner() override;

    /// The work of each run (the dialog sets one generation; tests their own).
    void setJob(Job job);

    /// Starts a run; false (and nothing started) while one is still going.
    bool start();
    bool isBusy() const { return m_busy; }

    /// The outcome of the last finished run (UI thread, valid from its finished signal on).
    const GenerationResult& lastResult() const { return m_lastResult; }

    /// Blocks until the current run has ended and its finished signal was delivered.
    void waitForIdle();

signals:
    void started();
    void finished(bool succeeded);

private:
    Job m_job;
    bool m_busy = false;  // touched on the UI thread only
    GenerationResult m_lastResult;
    std::jthread m_worker;
};

}  // namespace tavolin
