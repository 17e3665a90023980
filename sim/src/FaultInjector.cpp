#include "FaultInjector.h"

namespace vexa::sim::detail {

namespace {

constexpr std::uint8_t kCorruptMask = 0x40;

Bytes corrupted(const Bytes& reply, std::size_t at) {
    Bytes b = reply;
    if (!b.empty()) b[at < b.size() ? at : b.size() - 1] ^= kCorruptMask;
    return b;
}

}  // namespace

void FaultInjector::setRates(const FaultRates& rates) {
    rates_ = rates;
    rng_.seed(rates.seed);
}

void FaultInjector::clear() {
    script_.clear();
    setRates({});
    silent_ = false;
}

Fault FaultInjector::next() {
    if (!script_.empty()) {
        Fault f = script_.front();
        script_.pop_front();
        return f;
    }
    const struct {
        double rate;
        FaultKind kind;
    } order[] = {
        {rates_.drop, FaultKind::Drop},           {rates_.delay, FaultKind::Delay},
        {rates_.corrupt, FaultKind::Corrupt},     {rates_.truncate, FaultKind::Truncate},
        {rates_.duplicate, FaultKind::Duplicate}, {rates_.stale, FaultKind::Stale},
    };
    double total = 0;
    for (const auto& o : order) total += o.rate;
    if (total <= 0) return {};
    // mt19937's output is fixed by the standard, so the draw is the same on every build.
    double u = static_cast<double>(rng_() >> 8) / static_cast<double>(1u << 24);
    double edge = 0;
    for (const auto& o : order) {
        edge += o.rate;
        if (u < edge) return {o.kind, o.kind == FaultKind::Delay ? rates_.delayMs : 0};
    }
    return {};
}

std::vector<Emission> FaultInjector::apply(const Fault& fault, const Bytes& reply, const Bytes& previous,
                                           std::size_t corruptAt) {
    switch (fault.kind) {
        case FaultKind::None: return {{reply, 0}};
        case FaultKind::Drop: return {};
        case FaultKind::Delay: return {{reply, fault.delayMs > 0 ? fault.delayMs : 0}};
        case FaultKind::Corrupt: return {{corrupted(reply, corruptAt), 0}};
        case FaultKind::Truncate: {
            std::size_t keep = reply.size() > 1 ? reply.size() / 2 : reply.size();
            return {{Bytes(reply.begin(), reply.begin() + static_cast<std::ptrdiff_t>(keep)), 0}};
        }
        case FaultKind::Duplicate: return {{reply, 0}, {reply, 0}};
        case FaultKind::Stale: {
            // An earlier answer a client must not take for this one; without a different one
            // at hand, a broken copy serves.
            Bytes stale = !previous.empty() && previous != reply ? previous : corrupted(reply, corruptAt);
            return {{std::move(stale), 0}, {reply, 0}};
        }
    }
    return {{reply, 0}};
}

}  // namespace vexa::sim::detail
