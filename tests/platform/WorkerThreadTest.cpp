#include "platform/WorkerThread.h"
#include "platform/Errors.h"

#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

class TProbeThread : public lv::TWorkerThread {
public:
    std::function<void(TProbeThread&)> work;
    ~TProbeThread() override { StopAndWait(); }

    using lv::TWorkerThread::SetError;
    using lv::TWorkerThread::Synchronize;

    // Starts the work and serves its calls until it has ended.
    void RunToEnd() {
        QEventLoop loop;
        QObject::connect(this, &QThread::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        start();
        loop.exec();
        wait();
    }

protected:
    void run() override { work(*this); }
};

} // namespace

TEST(WorkerThread, CallsRunInTheOwnersThreadAndTheErrorKeepsItsUnitAndLine) {
    TProbeThread t;
    QThread* ranIn = nullptr;
    const auto where = [&] { ranIn = QThread::currentThread(); };
    // From the owner's thread itself the call runs at once, without an event loop.
    t.Synchronize(where);
    EXPECT_EQ(ranIn, QThread::currentThread());

    ranIn = nullptr;
    t.work = [&](TProbeThread& self) {
        self.Synchronize(where);
        try {
            throw lv::EAssertionFailed("StreamWrite failed. Err: $8004406E", "U_BmpToAvi", 173);
        } catch (const std::exception& e) {
            self.SetError(e);
        }
    };
    t.RunToEnd();
    EXPECT_EQ(ranIn, QThread::currentThread());
    EXPECT_EQ(t.ErrorMessage(), "StreamWrite failed. Err: $8004406E");
    EXPECT_EQ(t.ErrorUnit(), "U_BmpToAvi");
    EXPECT_EQ(t.ErrorLine(), 173);

    // A failure that is no failed check leaves no unit or line of an earlier one.
    t.work = [](TProbeThread& self) { self.SetError(lv::Error("Cannot read file")); };
    t.RunToEnd();
    EXPECT_EQ(t.ErrorMessage(), "Cannot read file");
    EXPECT_EQ(t.ErrorUnit(), "");
    EXPECT_EQ(t.ErrorLine(), 0);
}
