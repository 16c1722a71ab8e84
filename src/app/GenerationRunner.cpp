#include "app/GenerationRunner.h"

#include <QCoreApplication>
#include <QThread>


namespace tavolin {

GenerationRunner::GenerationRunner(QObject* parent)
    : QObject(parent) {}

GenerationRunner::~GenerationRunner() {
    joinWorker();
}

void GenerationRunner::setJob(Job job) {
    m_job = std::move(job);
}

void GenerationRunner::joinWorker() {
    if (m_worker.joinable()) m_worker.join();
}

bool GenerationRunner::start() {
    if (m_busy) return false;
    joinWorker();  // the previous worker has posted its result; reap it
    m_busy = true;
    emit started();
    Job job = m_job;
    m_worker = std::thread([this, job = std::move(job)] {
        const bool ok = job ? job() : false;
        // Back to the UI thread; dropped if the runner is gone by then.
        QMetaObject::invokeMethod(
            this,
            [this, ok] {
                m_busy = false;
                emit finished(ok);
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
    joinWorker();
}

}  // namespace tavolin
