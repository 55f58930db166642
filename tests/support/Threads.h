#pragma once

namespace lv {
class TWorkerThread;
}

namespace lvtest {

// Runs the event loop until the worker has finished (at most two minutes), then joins it, so
// that what it did is safe to read.
void waitFinished(lv::TWorkerThread& thread);

} // namespace lvtest
