#pragma once
// What the frame layer needs from a device: bytes out and bytes in, whatever carries them. The
// library binds it to a row of its device table (CDeviceLink); fuzz targets and tests bind it
// to scripted bytes, without any plug-in.
#include <cstdint>

namespace fwl {

class CBootLink {
public:
    virtual ~CBootLink() = default;

    // At most n bytes: the count read (<= n), 0 when nothing came, negative on an error.
    virtual int read(std::uint8_t* buffer, std::uint32_t n, int timeoutMs) = 0;
    // All n bytes: n, or a negative result.
    virtual int write(const std::uint8_t* data, std::uint32_t n, int timeoutMs) = 0;
};

}  // namespace fwl
