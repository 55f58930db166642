#pragma once

#include "platform/WorkerThread.h"

#include <functional>

namespace lv {

// Walks the slots of the thumbnail strip for the pictures First .. Last: for each slot k it
// calls Progress(k) and LoadSlot(k) in the owner's thread (the user-interface thread, which
// does the rendering and owns the slots) and waits for them. The worker itself touches no
// list and no widget. Set the fields, then start(); nothing runs when Last < First.
class TLoaderThd : public TWorkerThread {
    Q_OBJECT
public:
    explicit TLoaderThd(QObject* parent = nullptr) : TWorkerThread(parent) {}
    ~TLoaderThd() override { StopAndWait(); }

    int First = 0;
    int Last = -1;
    std::function<void(int slot)> Progress;
    std::function<void(int slot)> LoadSlot;

protected:
    void run() override;
};

} // namespace lv
