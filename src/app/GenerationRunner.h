#pragma once
// Runs the wallpaper generation on a worker thread, one run at a time, so the window stays
// responsive while desktop tools hand the picture over (they may take seconds).

#include <QObject>
#include <functional>
#include <stop_token>
#include <thread>

#include "render/WallpaperGenerator.h"

namespace tavolin {

/// Who asked for a run: the person at that moment (a click on "Erstellen"), or nobody (the
/// silent start, the day change), in which case no box may wait for an answer.
enum class GenerationOrigin { Requested, Unattended };

class GenerationRunner : public QObject {
    Q_OBJECT

public:
    /// The work of one run. stop is requested when the runner goes away (the program ends);
    /// the run then ends at its next step and leaves the previous wallpaper. The context the
    /// job builds from must not show anything itself: see RecordingJob.
    using Job = std::function<GenerationResult(std::stop_token stop)>;

    explicit GenerationRunner(QObject* parent = nullptr);
    /// Asks a run still in progress to stop and waits for it: its files must not be left half
    /// written.
    ~GenerationRunner() override;

    /// The work of each run (the program sets RecordingJob; tests their own).
    void setJob(Job job);

    /// The generation of context, whose messages are recorded into the result instead of going
    /// to the context's sink (which may wait on the user-interface thread).
    static Job RecordingJob(Context context);

    /// Starts a run; false (and nothing started) while one is still going.
    bool start(GenerationOrigin origin = GenerationOrigin::Requested);
    bool isBusy() const { return m_busy; }

    /// Blocks until the current run has ended and its finished signal was delivered.
    void waitForIdle();

signals:
    void started();
    /// The run's outcome, a value of its own: a receiver keeps or moves it, and a later run never
    /// changes it under a receiver that is still showing it.
    void finished(tavolin::GenerationResult result, tavolin::GenerationOrigin origin);

private:
    Job m_job;
    bool m_busy = false;  // touched on the UI thread only
    std::jthread m_worker;
};

}  // namespace tavolin
