#include "project/LoaderThd.h"

#include <exception>

namespace lv {

void TLoaderThd::run() {
    ClearError();
    for (int k = 0; k <= Last - First; ++k) {
        if (isInterruptionRequested())
            return;
        Synchronize([this, k] {
            // A slot that cannot be loaded must not take the thread down with it.
            try {
                if (Progress)
                    Progress(k);
                if (LoadSlot)
                    LoadSlot(k);
            } catch (const std::exception& e) {
                SetError(e);
            }
        });
    }
}

} // namespace lv
