#pragma once
#include "CVEXAMain.h"

namespace vexa {

// The Ethernet coupler family: UDP to port 8801, two 256-byte property blocks.
class CEthMain : public CVEXAMain {
public:
    static constexpr int kPort = 8801;
    static constexpr int kOperateTimeoutMs = 100;
    static constexpr int kSearchTimeoutMs = 500;

    // Reply wait of an operated coupler in ms: 100, or VEXA_TEST_ETH_TIMEOUT_MS when a test on a
    // loaded machine lengthens it.
    static int OperateTimeoutMs();

    CEthMain();
    bool OpenEth(int type, int mode, const char* ip, const char* mac, int unused1, int unused2, int timeout) override;
    void BuildFixedBlock() override;
    void BuildDeviceBlocks() override;
    void FillFixedBlock() override;
};

// The Ethernet coupler of wire type 9 ("VEXA-9000").
class CEthMain9000 : public CEthMain {
public:
    static constexpr int kType = 9;
};

}  // namespace vexa
