#pragma once
// A USB HID coupler on the simulated bus: a SOCK_SEQPACKET socket in the rack's HID folder.
// Each host connection first gets the hello; then every message is one report.
#include <memory>
#include <string>
#include <vector>

#include "Coupler.h"
#include "EventLoop.h"

namespace vexa::sim::detail {

class HidPort {
public:
    HidPort(Coupler& c, EventLoop& loop) : c_(c), loop_(loop) {}
    ~HidPort() { close(); }

    // Binds `name` in the folder open as `dirFd` (names too long for a socket address are
    // bound under a short name first and renamed).
    bool open(int dirFd, const std::string& folder, const std::string& name);
    void close();  // removes the socket file
    Coupler& coupler() { return c_; }

private:
    struct Connection {
        vexa::UniqueFd fd;
        bool open = true;
    };
    void onAccept();
    void onMessage(std::shared_ptr<Connection> conn);
    void drop(const std::shared_ptr<Connection>& conn);

    Coupler& c_;
    EventLoop& loop_;
    vexa::UniqueFd listen_;
    std::string path_;
    std::vector<std::shared_ptr<Connection>> conns_;
};

}  // namespace vexa::sim::detail
