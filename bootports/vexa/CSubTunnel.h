#pragma once
// The boot frame stream of one sub module, carried as its data registers through VexaSdk:
// pieces of at most 64 bytes, an odd piece at register 1 with a padding byte, an even one at
// register 2 (docs/wire-notes.md, "Boot loaders").
#include <cstdint>

#include "VexaSdk.h"

namespace vexa::bootport {

class CSubTunnel {
public:
    static constexpr unsigned kPieceMax = 64;

    explicit CSubTunnel(KO_SUBHANDLE sub) : sub_(sub) {}

    // n on success; DEV_ERROR once two pieces in all were refused.
    int write(const std::uint8_t* data, unsigned n);
    // The bytes gathered until a piece comes back short; DEV_ERROR for a reply whose count byte is
    // larger than the piece asked for or than what the library received.
    int read(std::uint8_t* buffer, unsigned max);

private:
    KO_SUBHANDLE sub_;
};

}  // namespace vexa::bootport
