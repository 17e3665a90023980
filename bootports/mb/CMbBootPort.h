#pragma once
// The Modbus boot plug-in's state and operations: one serial Modbus line through MbMaster, the
// stations on it that answer the probe, and the boot frame stream carried in the private
// function 0x47 ("KVMB", sub-functions 0x08 enter, 0x09 read, 0x0A write).
#include <cstdint>
#include <vector>

#include "BootPortKit.h"
#include "CBootPort.h"
#include "VexaBootParams.h"

namespace vexa::bootport {

class CMbBootPort final : public CBootPort {
public:
    int open(const void* params) override;
    int search(int* handles) override;
    int enterBootMode() override;
    int write(int handle, const std::uint8_t* data, unsigned n) override;
    int read(int handle, std::uint8_t* buffer, unsigned max) override;
    int close() override;

private:
    using Frame = std::vector<std::uint8_t>;
    struct Reply {
        std::uint8_t bytes[128];
        int length = 0;
    };

    void disconnect();
    bool connected() const { return connection_ != nullptr; }
    // The station of a handle from the last search; 0 for a bad handle.
    std::uint8_t stationOf(int handle) const;
    bool probe(std::uint8_t station);
    // KMB_WriteCmdBuf reports the bytes that went out: anything above 0 is a sent frame.
    bool send(const Frame& frame);
    // One reply of at most `max` bytes (max ≤ sizeof Reply::bytes).
    bool receive(Reply& reply, int max);
    void enterBootMode(std::uint8_t station);

    MbPortParams params_{};
    PortText portText_{"COM1"};  // also what a record that asks for no copy gets
    void* connection_ = nullptr;
    std::vector<std::uint8_t> stations_;
};

}  // namespace vexa::bootport
