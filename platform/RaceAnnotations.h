#pragma once

// Qt's own locks and semaphores are invisible to ThreadSanitizer (the library is not built
// with it): where our data crosses threads through them, these tell it the order they make.
// Nothing in other builds.

#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_acquire(void* addr);
extern "C" void __tsan_release(void* addr);
#define LV_HAPPENS_BEFORE(addr) __tsan_release(static_cast<void*>(addr))
#define LV_HAPPENS_AFTER(addr) __tsan_acquire(static_cast<void*>(addr))
#else
#define LV_HAPPENS_BEFORE(addr) static_cast<void>(addr)
#define LV_HAPPENS_AFTER(addr) static_cast<void>(addr)
#endif
