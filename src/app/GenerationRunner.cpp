#include "app/GenerationRunner.h"

#include <QCoreApplication>
#include <QThread>

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

bool GenerationRunner::start() {
    if (m_busy) return false;
    if (m_worker.joinable()) m_worker.join();  // it has posted its result; reap it
    m_busy = true;
    emit started();
    m_worker = std::jthread([this, job = m_job](std::stop_token stop) {
        GenerationResult result;
        if (job) result = job(stop);
        // Back to the UI thread; dropped if the runner is gone by then.
        QMetaObject::invokeMethod(
            this,
            [this, result = std::move(result)]() mutable {
                m_lastResult = std::move(result);
                m_busy = false;
                emit finished(m_lastResult.Succeeded());
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
