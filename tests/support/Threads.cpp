#include "support/Threads.h"

#include "platform/WorkerThread.h"

#include <QEventLoop>
#include <QTimer>

namespace lvtest {

void waitFinished(lv::TWorkerThread& thread) {
    QEventLoop loop;
    QObject::connect(&thread, &QThread::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);
    if (!thread.isFinished())
        loop.exec();
    thread.Join();
}

} // namespace lvtest
