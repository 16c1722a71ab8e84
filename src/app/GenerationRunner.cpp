#include "app/GenerationRunner.h"

#include <QCoreApplication>
#include <QThread>
#include <memory>
#include <mutex>

namespace tavolin {

GenerationRunner::GenerationRunner(QObject* parent) : QObject(parent) {}

GenerationRunner::~GenerationRunner() {
    // A run in the middle of a desktop hand-over would otherwise hold up the end of the
    // program for as long as the tools may take.
    if (m_worker.joinable()) {
        m_worker.request_stop();
        m_worker.join();
    }
}

void GenerationRunner::setJob(Job job) {
    m_job = std::move(job);
}

GenerationRunner::Job GenerationRunner::RecordingJob(Context context) {
    return [context = std::move(context)](std::stop_token stop) {
        struct Recorded {
            std::mutex mutex;
            std::vector<UserMessage> messages;
        };
        auto recorded = std::make_shared<Recorded>();
        Context own = context;
        own.userMessages = [recorded](const UserMessage& message) {
            const std::lock_guard lock(recorded->mutex);
            recorded->messages.push_back(message);
        };
        GenerationResult result = WallpaperGenerator(own).Generate(stop);
        const std::lock_guard lock(recorded->mutex);
        result.messages.insert(result.messages.end(), recorded->messages.begin(),
                               recorded->messages.end());
        return result;
    };
}

bool GenerationRunner::start(GenerationOrigin origin) {
    if (m_busy) return false;
    if (m_worker.joinable()) m_worker.join();  // it has posted its result; reap it
    m_busy = true;
    emit started();
    m_worker = std::jthread([this, origin, job = m_job](std::stop_token stop) {
        GenerationResult result;
        if (job) result = job(stop);
        // Back to the UI thread; dropped if the runner is gone by then.
        QMetaObject::invokeMethod(
            this,
            [this, origin, result = std::move(result)]() mutable {
                m_busy = false;
                // Handed on as a value: a box shown from a receiver may run an event loop in
                // which the next run finishes.
                GenerationResult own = std::move(result);
                emit finished(std::move(own), origin);
            },
            Qt::QueuedConnection);
    });
    return true;
}

void GenerationRunner::waitForIdle() {
    while (m_busy) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (m_busy) QThread::msleep(1);
    }
    if (m_worker.joinable()) m_worker.join();
}

}  // namespace tavolin
