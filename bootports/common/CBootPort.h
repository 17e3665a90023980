#pragma once
// A boot plug-in's operations, one subclass per way of reaching devices. The DEV_ exports
// (BootPortExports.cpp, built into each plug-in) forward to the plug-in's one instance.
#include <cstdint>

namespace vexa::bootport {

class CBootPort {
public:
    virtual ~CBootPort() = default;

    // The plug-in's one instance (all its state is process-wide); each plug-in defines it.
    static CBootPort& instance();

    virtual int open(const void* params) = 0;
    // The plug-in's own settings dialog, where it has one; 1 either way.
    virtual int config(void* /*param*/) { return 1; }
    virtual int search(int* handles) = 0;
    virtual int enterBootMode() = 0;
    // Bytes sent and bytes received use the transport's own time-outs.
    virtual int write(int handle, const std::uint8_t* data, unsigned n) = 0;
    virtual int read(int handle, std::uint8_t* buffer, unsigned max) = 0;
    virtual int close() = 0;
};

}  // namespace vexa::bootport
