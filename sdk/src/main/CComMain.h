#pragma once
#include "CVEXAMain.h"

namespace vexa {

// The RS-485 coupler family: Modbus RTU or ASCII, one 64-byte property block.
class CComMain : public CVEXAMain {
public:
    static constexpr int kSearchTimeoutMs = 1000;

    CComMain();
    bool OpenSerial(int station, int framing, const char* port, const SerialSettings& line) override;
    void BuildFixedBlock() override;
    void BuildDeviceBlocks() override;
    void FillFixedBlock() override { FillIdentityBlock(); }

    // For the station search: the framing to speak, with the line settings stored but not opened.
    void SetFraming(int framing);
    void SetStation(int station);
};

// The RS-485 coupler of type 0x9010.
class CComMain9010 : public CComMain {
public:
    static constexpr int kType = 0x9010;
};

}  // namespace vexa
