#pragma once

#include <QThread>

#include <atomic>
#include <exception>
#include <functional>
#include <mutex>
#include <string>

namespace lv {

// What the program's worker threads share: calls into the owner's thread that the worker
// waits for, the error that ended the work, and a destruction that cannot deadlock.
//
// The owner is the thread that creates the object (the main thread); it must run its event
// loop while the worker calls Synchronize. run() executes in the worker.
//
// Destruction, in the owner's thread: StopAndWait() marks the thread as closing (Synchronize
// then runs nothing), requests interruption and waits for run() to return, meanwhile letting
// through a call the worker is blocked on. The base destructor does so too, but only after
// the derived members are gone: a derived class whose run() uses its own members must call
// StopAndWait() first thing in its destructor.
class TWorkerThread : public QThread {
    Q_OBJECT
public:
    explicit TWorkerThread(QObject* parent = nullptr);
    ~TWorkerThread() override;

    // Owner's thread: waits for run() to end; what the worker did is then safe to read.
    void Join();

    // The error kept by SetError; empty message (and unit, line 0) when there was none.
    // Any thread; read them after finished() for the outcome of a run.
    std::string ErrorMessage() const;
    // The unit tag of a failed check ("U_BmpToAvi"), empty for other failures.
    std::string ErrorUnit() const;
    // The failed check's line tag, 0 when it has none.
    int ErrorLine() const;

protected:
    // Owner's thread. Returns once run() has ended; a no-op when it is not running.
    void StopAndWait();
    // Worker: runs `call` in the owner's thread and waits for it; directly when already
    // there. Nothing runs once the thread is closing.
    void Synchronize(const std::function<void()>& call);
    // Worker: keeps what `e` says, with unit and line of an lv::EAssertionFailed.
    void SetError(const std::exception& e);
    void ClearError();

private:
    mutable std::mutex m_errorMutex;
    std::string m_errorMessage;
    std::string m_errorUnit;
    int m_errorLine = 0;
    std::atomic<bool> m_closing{false};
};

} // namespace lv
