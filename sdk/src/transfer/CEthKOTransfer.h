#pragma once
// The Ethernet transport's socket: a CAsyncSocketEx that remembers whether it was connected
// or closed.
#include "CAsyncSocketEx.h"

namespace vexa {

class CEthKOTransfer : public CAsyncSocketEx {
public:
    bool connected() const { return connected_; }
    bool closed() const { return closed_; }

protected:
    void OnConnect(int err) override { connected_ = err == 0; }
    void OnClose(int) override { closed_ = true; }

private:
    bool connected_ = false;
    bool closed_ = false;
};

}  // namespace vexa
