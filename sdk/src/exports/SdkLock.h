#pragma once
// The one library-wide re-entrant lock, and the guards every locked export runs under.
#include <mutex>

#include "CVEXAMainMgr.h"
#include "msg/vexa_rc.h"
#include "sub/CVEXASub.h"

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

// Runs `op` on the object behind a handle under the library lock; RC_FAILED for a handle the
// library never handed out (or, for onUsb, one that is not a USB coupler: only those have a
// CANopen mapping, which also names the coupler).
template <class Op>
int onMain(void* h, Op op) {
    return runLocked([&] {
        CVEXAMain* m = CVEXAMainMgr::instance().FindMain(h);
        return m ? op(*m) : RC_FAILED;
    });
}

template <class Op>
int onSub(void* s, Op op) {
    return runLocked([&] {
        CVEXASub* sub = CVEXAMainMgr::instance().FindSub(s);
        return sub ? op(*sub) : RC_FAILED;
    });
}

template <class Op>
int onUsb(void* h, Op op) {
    return runLocked([&] {
        CouplerEntry* c = CVEXAMainMgr::instance().FindCoupler(h);
        return c && c->mapping ? op(*c->mapping) : RC_FAILED;
    });
}

}  // namespace vexa
