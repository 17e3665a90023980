#pragma once
// The device-library boot plug-in's state and operations: the couplers it operated through
// VexaSdk, every sub module found behind them, and those running their boot loader, which are
// the devices it reports.
#include <cstdint>
#include <vector>

#include "BootPortKit.h"
#include "CBootPort.h"
#include "VexaBootParams.h"
#include "VexaSdk.h"

namespace vexa::bootport {

class CVexaBootPort final : public CBootPort {
public:
    int open(const void* params) override;
    // The transport choice dialog, when a dialog can be shown; the choice goes into the
    // transport of the open parameters. Without a display nothing changes.
    int config(void* param) override;
    int search(int* handles) override;
    int enterBootMode() override;
    int write(int handle, const std::uint8_t* data, unsigned n) override;
    int read(int handle, std::uint8_t* buffer, unsigned max) override;
    int close() override;

private:
    struct SubModule {
        KO_HANDLE main;
        std::uint8_t address;
    };

    bool isOpen() const { return params_.magic == VEXA_PORT_MAGIC; }
    // Releases every coupler operated by the last search, once each, and forgets the lists.
    void release();
    void findEthernet();
    void findSerial();
    void findHid();
    // Keeps a coupler the library operated and lists its sub modules.
    void adopt(KO_HANDLE main);
    // The selected sub module behind a reported handle; null for a bad handle or a refusal.
    KO_SUBHANDLE select(int handle) const;
    bool validHandle(int handle) const;
    void enterBootMode(const SubModule& m);

    VexaPortParams params_{};
    PortText portText_{};
    std::vector<KO_HANDLE> mains_;
    std::vector<SubModule> all_;
    std::vector<SubModule> boot_;
};

}  // namespace vexa::bootport
