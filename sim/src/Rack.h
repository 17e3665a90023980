#pragma once
// The rack behind SimRack: its couplers, their transports and the device thread.
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Coupler.h"
#include "EthHub.h"
#include "EthPort.h"
#include "EventLoop.h"
#include "HidPort.h"
#include "ModbusTcpGateway.h"
#include "SerialLine.h"
#include "sim/SimRack.h"

namespace vexa::sim::detail {

class Rack {
public:
    explicit Rack(const RackOptions& options);
    ~Rack();

    // All below with `lock` held unless said otherwise.
    SimCoupler* addEthernet(const EthCouplerConfig& config);
    SimCoupler* addSerial(const SerialCouplerConfig& config);
    SimCoupler* addHid(const HidCouplerConfig& config);
    int start();  // without the lock held
    void stop();  // without the lock held
    void setLiveData(bool on);
    std::string describe() const;
    std::string environment() const;
    std::string hubAddress() const;
    std::string modbusTcpEndpoint() const;  // "" without an RS-485 line
    std::string serialPath(int line) const;

    mutable std::mutex lock;
    RackContext ctx;
    bool running = false;
    std::string subnet;  // "127.a.b"
    std::string hidFolder;
    std::vector<std::unique_ptr<Coupler>> couplers;
    std::vector<std::unique_ptr<SimCoupler>> handles;

private:
    Coupler* newCoupler(CouplerKind kind, const Identity& id, const std::vector<SubModuleConfig>& subs);
    int openAll();
    void closeAll();
    bool openHidFolder();

    RackOptions options_;
    bool subnetOk_ = false;
    std::uint8_t netA_ = 0, netB_ = 0;
    EventLoop loop_{lock};
    EthHub hub_{loop_};
    EthHub broadcastHub_{loop_};  // RackOptions::ethBroadcast
    std::vector<std::unique_ptr<EthPort>> ethPorts_;
    std::vector<std::unique_ptr<SerialLine>> lines_;
    // Modbus TCP in front of the first RS-485 line that has couplers.
    std::unique_ptr<ModbusTcpGateway> gateway_;
    std::vector<std::unique_ptr<HidPort>> hidPorts_;
    vexa::UniqueFd folderFd_;
    bool ownsFolder_ = false;
};

}  // namespace vexa::sim::detail
