#pragma once
// The one library-wide re-entrant lock, and the guard every locked export runs under.
#include <mutex>

#include "msg/vexa_rc.h"

namespace vexa {

std::recursive_mutex& sdkLock();

// Runs `op` under the library lock. No exception leaves an export: one that escapes the
// operation becomes RC_FAILED (or `onThrow` for exports that return something else).
template <class Op, class R = decltype(std::declval<Op>()())>
R runLocked(Op op, R onThrow = R(RC_FAILED)) {
    std::lock_guard<std::recursive_mutex> guard(sdkLock());
    try {
        return op();
    } catch (...) {
        return onThrow;
    }
}

}  // namespace vexa
