#include "platform/WorkerThread.h"

#include "platform/Errors.h"
#include "platform/RaceAnnotations.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMetaObject>

#include <cstdio>

namespace lv {

TWorkerThread::TWorkerThread(QObject* parent) : QThread(parent) {
    // Emitted in the worker once run() has returned: everything it did comes before Join.
    connect(
        this, &QThread::finished, this, [this] { LV_HAPPENS_BEFORE(this); }, Qt::DirectConnection);
}

void TWorkerThread::Join() {
    wait();
    LV_HAPPENS_AFTER(this);
}

TWorkerThread::~TWorkerThread() {
    StopAndWait();
}

void TWorkerThread::StopAndWait() {
    // The worker may be blocked on a call into this thread: let such calls through, without
    // running them (their owner may be going), until it has ended.
    m_closing = true;
    requestInterruption();
    while (!wait(QDeadlineTimer(20)))
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    LV_HAPPENS_AFTER(this);
}

void TWorkerThread::Synchronize(const std::function<void()>& call) {
    if (m_closing)
        return;
    // A blocking queued call into the current thread would never return.
    if (QThread::currentThread() == thread()) {
        call();
        return;
    }
    LV_HAPPENS_BEFORE(this);
    QMetaObject::invokeMethod(
        this,
        [this, &call] {
            LV_HAPPENS_AFTER(this);
            if (!m_closing)
                call();
            LV_HAPPENS_BEFORE(this);
        },
        Qt::BlockingQueuedConnection);
    LV_HAPPENS_AFTER(this);
}

std::string TWorkerThread::ErrorMessage() const {
    std::lock_guard lock(m_errorMutex);
    return m_errorMessage;
}

std::string TWorkerThread::ErrorUnit() const {
    std::lock_guard lock(m_errorMutex);
    return m_errorUnit;
}

int TWorkerThread::ErrorLine() const {
    std::lock_guard lock(m_errorMutex);
    return m_errorLine;
}

void TWorkerThread::SetError(const std::exception& e) {
    const auto* failed = dynamic_cast<const EAssertionFailed*>(&e);
    std::lock_guard lock(m_errorMutex);
    // What the user is shown: a library's own text is no message (it goes to standard error).
    m_errorMessage = dynamic_cast<const Error*>(&e) ? std::string(e.what()) : ErrorWithLocation(e);
    if (!dynamic_cast<const Error*>(&e))
        std::fprintf(stderr, "Internal error: %s\n", e.what());
    m_errorUnit = failed ? failed->unit() : std::string();
    m_errorLine = failed ? failed->line() : 0;
}

void TWorkerThread::ClearError() {
    std::lock_guard lock(m_errorMutex);
    m_errorMessage.clear();
    m_errorUnit.clear();
    m_errorLine = 0;
}

} // namespace lv
