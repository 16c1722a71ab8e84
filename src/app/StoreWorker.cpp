#include "app/StoreWorker.h"

#include <QCoreApplication>
#include <QThread>

#include "util/FileLock.h"

namespace tavolin {

StoreWorker::StoreWorker(std::shared_ptr<WriteFaults> faults, QObject* parent)
    : QObject(parent), m_faults(std::move(faults)) {
    m_thread = std::jthread([this](std::stop_token stop) { Loop(stop); });
}

StoreWorker::~StoreWorker() {
    m_thread.request_stop();
    m_wake.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

void StoreWorker::Post(const QString& what, const std::filesystem::path& lockedFile, Work work) {
    if (m_finished) return;
    ++m_posted;
    {
        const std::lock_guard lock(m_mutex);
        m_queue.push_back(Task{what, lockedFile, std::move(work)});
    }
    m_wake.notify_one();
}

void StoreWorker::PostSettings(const std::filesystem::path& path,
                               std::vector<IniFile::Value> values, bool create) {
    QStringList keys;
    for (const IniFile::Value& v : values) {
        keys << QStringLiteral("%1/%2=%3").arg(QString::fromLatin1(v.section),
                                                QString::fromLatin1(v.key),
                                                QString::fromLocal8Bit(v.value));
    }
    const QString what = QStringLiteral("config.ini: ") + keys.join(QStringLiteral(", "));
    Post(what, path, [path, values = std::move(values), create,
                      faults = m_faults](std::stop_token) -> Completion {
        // A failed write is not reported (as before); the control keeps its new state.
        IniFile ini;
        ini.SetWriteFaults(faults);
        if (ini.Open(path, false)) (void)ini.WriteValues(values, create);
        return {};
    });
}

void StoreWorker::Loop(std::stop_token stop) {
    for (;;) {
        Task task;
        {
            std::unique_lock lock(m_mutex);
            if (!m_wake.wait(lock, stop, [this] { return !m_queue.empty(); })) return;
            // The task stays queued while its lock is awaited, so Finish can name it.
            task = m_queue.front();
        }
        // Waiting here, not inside the work: this wait can be given up when the program ends.
        if (!task.lockedFile.empty()) {
            FileLock wait(task.lockedFile, stop);
            if (stop.stop_requested()) return;
        }
        Completion done = task.work ? task.work(stop) : Completion();
        {
            const std::lock_guard lock(m_mutex);
            m_queue.pop_front();
        }
        // Dropped when the worker is gone by then; counted either way on delivery.
        QMetaObject::invokeMethod(
            this,
            [this, done = std::move(done)] {
                ++m_delivered;
                if (done) done();
            },
            Qt::QueuedConnection);
    }
}

void StoreWorker::WaitIdle() {
    while (m_delivered < m_posted && !m_finished) {
        QCoreApplication::sendPostedEvents(this);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (m_delivered < m_posted) QThread::msleep(1);
    }
}

QStringList StoreWorker::Finish(std::chrono::milliseconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (m_delivered < m_posted && std::chrono::steady_clock::now() < deadline) {
        QCoreApplication::sendPostedEvents(this);
        if (m_delivered < m_posted) QThread::msleep(2);
    }
    m_finished = true;
    m_thread.request_stop();
    m_wake.notify_all();
    if (m_thread.joinable()) m_thread.join();
    QCoreApplication::sendPostedEvents(this);
    QStringList lost;
    const std::lock_guard lock(m_mutex);
    for (const Task& task : m_queue) lost << task.what;
    m_queue.clear();
    m_delivered = m_posted;  // nothing is pending any more: it was made, or it is named here
    return lost;
}

}  // namespace tavolin
