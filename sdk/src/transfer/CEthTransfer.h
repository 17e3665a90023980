#pragma once
#include <memory>

#include "CTransfer.h"
#include "platform/Socket.h"

namespace vexa {

// UDP to the Ethernet coupler (port 8801), or to the broadcast address for a search.
class CEthTransfer : public CTransfer {
public:
    ~CEthTransfer() override { Close(); }
    int Open() override;
    int Receive(CVEXAMsg& msg) override;
    int Send(CVEXAMsg& msg) override;
    int Close() override;

private:
    std::unique_ptr<Socket> socket_;
};

}  // namespace vexa
