#pragma once
// The one thread that writes the program's files (config.ini, Termine.dat). The window posts a
// change and goes on; the worker waits for the file's lock, however long another process holds
// it, and hands the outcome back to the user-interface thread. Changes run in the order they
// were posted, one at a time.

#include <QObject>
#include <QStringList>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <stop_token>
#include <thread>
#include <vector>

#include "settings/IniFile.h"

namespace tavolin {

class StoreWorker : public QObject {
    Q_OBJECT

public:
    /// Runs on the user-interface thread once the work is done; may be empty.
    using Completion = std::function<void()>;
    /// Runs on the worker. stop is requested when the program ends before the work could run.
    using Work = std::function<Completion(std::stop_token stop)>;

    /// faults: what the writes meet (Context::writeFaults); none by default.
    explicit StoreWorker(std::shared_ptr<WriteFaults> faults = nullptr, QObject* parent = nullptr);
    /// Stops at once: whatever has not run yet is dropped (call Finish first to keep it).
    ~StoreWorker() override;

    /// Queues work that changes lockedFile (whose lock the worker waits for, stoppably, before
    /// the work runs). what names the change for the message when it could not be made.
    void Post(const QString& what, const std::filesystem::path& lockedFile, Work work);

    /// Writes values into the ini file at path, all in one rewrite. create as IniFile.
    void PostSettings(const std::filesystem::path& path, std::vector<IniFile::Value> values,
                      bool create = true);

    /// Waits (running the event loop) until everything posted so far has run and its
    /// completion was delivered.
    void WaitIdle();

    /// The end of the program: gives the queue up to bound to run out, then stops the worker.
    /// Returns the names of the changes that were not made. No work runs afterwards.
    QStringList Finish(std::chrono::milliseconds bound);

    /// Changes posted and not yet completed.
    int Pending() const { return static_cast<int>(m_posted - m_delivered); }

private:
    struct Task {
        QString what;
        std::filesystem::path lockedFile;
        Work work;
    };
    void Loop(std::stop_token stop);

    std::mutex m_mutex;
    std::condition_variable_any m_wake;
    std::deque<Task> m_queue;  // guarded by m_mutex
    uint64_t m_posted = 0;     // user-interface thread only
    uint64_t m_delivered = 0;  // user-interface thread only
    bool m_finished = false;   // user-interface thread only
    std::shared_ptr<WriteFaults> m_faults;
    std::jthread m_thread;
};

}  // namespace tavolin
