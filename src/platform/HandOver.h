// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Qt's event queue hands tasks from thread to thread under a lock inside Qt,
// which ThreadSanitizer cannot see (Debian's Qt is not built with it). What
// one thread hands another through the queue is marked here, so a TSan run
// sees the order the queue guarantees. In every other build these do nothing.
#if defined(__SANITIZE_THREAD__)
#define QUILLON_TSAN_HAND_OVER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define QUILLON_TSAN_HAND_OVER 1
#endif
#endif

#ifdef QUILLON_TSAN_HAND_OVER
extern "C" void __tsan_acquire(void* address);
extern "C" void __tsan_release(void* address);
// The sending thread, once everything it hands over is written.
inline void HandOver(void* address)
{
    __tsan_release(address);
}
// The receiving thread, before it reads what was handed over.
inline void TakeOver(void* address)
{
    __tsan_acquire(address);
}
#else
inline void HandOver(void*) {}
inline void TakeOver(void*) {}
#endif
