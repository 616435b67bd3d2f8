// SPDX-License-Identifier: GPL-3.0-or-later
// Reports from a worker thread reach the GUI thread as calls queued through Qt's event queue.
#pragma once

#include <QMetaObject>
#include <QObject>

#include <utility>

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

namespace kelvarn {

namespace detail {
// Qt's event queue orders what a worker wrote before queuing a call before the call runs, but
// with locks and atomics ThreadSanitizer cannot see (Qt is not built with it): under TSan the
// queued calls say so themselves, through this one token.
inline char queuedCallToken;
}  // namespace detail

// Runs `call` on the thread of `receiver` (the GUI thread), after the calls queued before it.
template <typename Call>
void queueCall(QObject* receiver, Call call) {
    auto run = [call = std::move(call)]() mutable {
#if defined(__SANITIZE_THREAD__)
        __tsan_acquire(&detail::queuedCallToken);
#endif
        call();
    };
#if defined(__SANITIZE_THREAD__)
    __tsan_release(&detail::queuedCallToken);
#endif
    QMetaObject::invokeMethod(receiver, std::move(run), Qt::QueuedConnection);
}

}  // namespace kelvarn
