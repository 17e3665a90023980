#include "core/PdoLayout.h"

#include <cstdio>

#include "core/Catalog.h"

namespace vexadesk {

namespace {

template <class... A>
std::string format(const char* f, A... a) {
    char buf[256];
    std::snprintf(buf, sizeof buf, f, a...);
    return buf;
}

// The clear-counter command of the digital-output family has no catalog name of its own.
constexpr std::uint16_t kClearCounterType = 0x3412;
constexpr std::uint8_t kClearCounterReg = 0x5E;

}  // namespace

const char* pdoMessageText(PdoMsg m) {
    switch (m) {
        case PdoMsg::Ok: return "";
        case PdoMsg::NoChannel: return "没有通道映射";
        case PdoMsg::OutOfImage: return "超出可映射内存";
        case PdoMsg::WordsTaken: return "该偏移无足够内存映射";
        case PdoMsg::NotAPdoNode: return "请在树控件中正确选择需要添加到的PDO根节点";
        case PdoMsg::PdoFull: return "超过PDO 8字节 映射,请映射到其它PDO";
        case PdoMsg::PdoRootNotDeletable: return "PDO 根节点不能删除";
        case PdoMsg::RootNotDeletable: return "根节点不能删除";
        case PdoMsg::NothingSelected: return "选择一个映射通道";
        case PdoMsg::BadLength: return "映射长度无效";
        case PdoMsg::ChannelTaken: return "该通道已映射";
    }
    return "";
}

PdoLayout::PdoLayout() {
    for (int i = 0; i < kTpdos; ++i) tpdos_[i] = PdoNode{false, i, 0, 0, {}};
    for (int i = 0; i < kRpdos; ++i) rpdos_[i] = PdoNode{true, i, 0, 0, {}};
    inputUsed_.assign(kInputWords, 0);
    outputUsed_.assign(kOutputWords, 0);
    setNodeAddress(0);
}

void PdoLayout::setChannels(const std::vector<IoMapRecord>& channels) {
    inputs_.clear();
    outputs_.clear();
    for (const auto& c : channels) (c.direction == 0 ? inputs_ : outputs_).push_back(c);
    inputTaken_.assign(inputs_.size(), false);
    outputTaken_.assign(outputs_.size(), false);
    clear();
}

bool PdoLayout::channelFree(bool output, int index) const {
    const auto& t = output ? outputTaken_ : inputTaken_;
    return index >= 0 && index < static_cast<int>(t.size()) && !t[static_cast<size_t>(index)];
}

void PdoLayout::setNodeAddress(int address) {
    nodeAddress_ = address;
    for (auto& n : tpdos_) n.canId = canId(false, n.number, address);
    for (auto& n : rpdos_) n.canId = canId(true, n.number, address);
}

std::uint32_t PdoLayout::canId(bool rpdo, int number, int nodeAddress) {
    const auto a = static_cast<std::uint32_t>(nodeAddress);
    // Only the first four PDOs of a side have predefined identifiers; the rest start invalid.
    if (number < 0 || number > 3) return 0x80000000u + a;
    return (rpdo ? 0x200u : 0x180u) + 0x100u * static_cast<std::uint32_t>(number) + a;
}

const PdoNode& PdoLayout::pdo(bool rpdo, int number) const {
    return rpdo ? rpdos_.at(static_cast<size_t>(number)) : tpdos_.at(static_cast<size_t>(number));
}

PdoNode& PdoLayout::node(bool rpdo, int number) {
    return rpdo ? rpdos_.at(static_cast<size_t>(number)) : tpdos_.at(static_cast<size_t>(number));
}

bool PdoLayout::wordUsed(bool output, int word) const {
    const auto& u = output ? outputUsed_ : inputUsed_;
    return word >= 0 && word < static_cast<int>(u.size()) && u[static_cast<size_t>(word)];
}

int PdoLayout::entryCount() const {
    int n = 0;
    for (const auto& p : tpdos_) n += static_cast<int>(p.items.size());
    for (const auto& p : rpdos_) n += static_cast<int>(p.items.size());
    return n;
}

PdoMsg PdoLayout::insert(const PdoMapEntry& entry, std::uint16_t type, const PdoTarget& target) {
    const bool rpdo = entry.side != 0;
    int number;
    if (entry.setting[1] == kUnplaced) {
        if (target.kind != PdoTarget::Pdo || target.rpdo != rpdo || target.pdo < 0 || target.pdo >= pdoCount(rpdo))
            return PdoMsg::NotAPdoNode;
        number = target.pdo;
    } else {
        number = entry.setting[1] & 0x0F;
        if (number >= pdoCount(rpdo)) return PdoMsg::NotAPdoNode;
    }
    PdoNode& n = node(rpdo, number);
    const int words = entry.setting[4];
    if (n.usedWords + words > kPdoWords) return PdoMsg::PdoFull;
    n.items.push_back(PdoItem{entry, type});
    n.usedWords += words;
    auto& u = used(rpdo);
    for (int w = entry.setting[0]; w < entry.setting[0] + words; ++w) u.at(static_cast<size_t>(w)) = 1;
    if (entry.channel != kUnplaced) taken(rpdo).at(entry.channel) = true;
    return PdoMsg::Ok;
}

PdoMsg PdoLayout::add(bool output, int channel, int offset, const PdoTarget& target) {
    const auto& list = channels(output);
    if (channel < 0 || channel >= static_cast<int>(list.size()) || channel >= kUnplaced) return PdoMsg::NoChannel;
    if (!channelFree(output, channel)) return PdoMsg::ChannelTaken;
    const IoMapRecord& c = list[static_cast<size_t>(channel)];
    const int words = c.lengthRegs;
    if (words < 1 || words > 2) return PdoMsg::BadLength;
    if (words == 2 && offset % 2) ++offset;
    if (offset < 0 || offset + words > imageWords(output)) return PdoMsg::OutOfImage;
    for (int w = offset; w < offset + words; ++w)
        if (wordUsed(output, w)) return PdoMsg::WordsTaken;
    PdoMapEntry e{};
    e.setting[0] = static_cast<std::uint8_t>(offset);
    e.setting[1] = kUnplaced;
    e.setting[2] = c.subAddress;
    e.setting[3] = c.reg;
    e.setting[4] = static_cast<std::uint8_t>(words);
    e.setting[5] = 0;
    e.side = output ? 1 : 0;
    e.channel = static_cast<std::uint8_t>(channel);
    return insert(e, c.type, target);
}

PdoMsg PdoLayout::place(bool rpdo, const PdoMapEntry& in) {
    PdoMapEntry e = in;
    e.side = rpdo ? 1 : 0;
    const int words = e.setting[4];
    if (words < 1 || words > 2) return PdoMsg::BadLength;
    int offset = e.setting[0];
    if (words == 2 && offset % 2) ++offset;
    if (offset + words > imageWords(rpdo)) return PdoMsg::OutOfImage;
    for (int w = offset; w < offset + words; ++w)
        if (wordUsed(rpdo, w)) return PdoMsg::WordsTaken;
    e.setting[0] = static_cast<std::uint8_t>(offset);

    // The channel it stands for: the first free one of that side with the same address,
    // register and length. One that matches only mapped channels would map a channel twice.
    const auto& list = channels(rpdo);
    int match = -1;
    bool matchedTaken = false;
    for (size_t i = 0; i < list.size() && i < kUnplaced; ++i) {
        const IoMapRecord& c = list[i];
        if (c.subAddress != e.setting[2] || c.reg != e.setting[3] || c.lengthRegs != words) continue;
        if (channelFree(rpdo, static_cast<int>(i))) {
            match = static_cast<int>(i);
            break;
        }
        matchedTaken = true;
    }
    if (match < 0 && matchedTaken) return PdoMsg::ChannelTaken;
    e.channel = match < 0 ? kUnplaced : static_cast<std::uint8_t>(match);
    const std::uint16_t type = match < 0 ? 0 : list[static_cast<size_t>(match)].type;
    // A placed entry names its PDO; 255 would mean "the selected node", which a read has not.
    return insert(e, type, PdoTarget{});
}

std::vector<DroppedEntry> PdoLayout::placeAll(const std::vector<PdoMapEntry>& rpdo,
                                              const std::vector<PdoMapEntry>& tpdo) {
    std::vector<DroppedEntry> dropped;
    for (bool side : {true, false}) {
        const auto& list = side ? rpdo : tpdo;
        for (size_t i = 0; i < list.size(); ++i)
            if (PdoMsg m = place(side, list[i]); m != PdoMsg::Ok)
                dropped.push_back(DroppedEntry{side, static_cast<int>(i), list[i], m});
    }
    return dropped;
}

void PdoLayout::release(const PdoItem& item) {
    const bool rpdo = item.entry.side != 0;
    auto& u = used(rpdo);
    for (int w = item.offset(); w < item.offset() + item.words() && w < static_cast<int>(u.size()); ++w)
        u[static_cast<size_t>(w)] = 0;
    auto& t = taken(rpdo);
    if (item.entry.channel != kUnplaced && item.entry.channel < t.size()) t[item.entry.channel] = false;
}

PdoMsg PdoLayout::remove(const PdoTarget& target) {
    switch (target.kind) {
        case PdoTarget::None: return PdoMsg::NothingSelected;
        case PdoTarget::Root: return PdoMsg::RootNotDeletable;
        case PdoTarget::Pdo: return PdoMsg::PdoRootNotDeletable;
        case PdoTarget::Entry: break;
    }
    if (target.pdo < 0 || target.pdo >= pdoCount(target.rpdo)) return PdoMsg::NothingSelected;
    PdoNode& n = node(target.rpdo, target.pdo);
    if (target.item < 0 || target.item >= static_cast<int>(n.items.size())) return PdoMsg::NothingSelected;
    const PdoItem item = n.items[static_cast<size_t>(target.item)];
    n.items.erase(n.items.begin() + target.item);
    n.usedWords -= item.words();
    release(item);
    return PdoMsg::Ok;
}

void PdoLayout::clear() {
    for (auto& n : tpdos_) n.items.clear(), n.usedWords = 0;
    for (auto& n : rpdos_) n.items.clear(), n.usedWords = 0;
    inputUsed_.assign(kInputWords, 0);
    outputUsed_.assign(kOutputWords, 0);
    inputTaken_.assign(inputs_.size(), false);
    outputTaken_.assign(outputs_.size(), false);
}

std::vector<PdoMapEntry> PdoLayout::entries(bool rpdo) const {
    std::vector<PdoMapEntry> out;
    for (int p = 0; p < pdoCount(rpdo); ++p) {
        const PdoNode& n = pdo(rpdo, p);
        for (size_t k = 0; k < n.items.size(); ++k) {
            PdoMapEntry e = n.items[k].entry;
            e.setting[1] = static_cast<std::uint8_t>(p + 16 * static_cast<int>(k));
            out.push_back(e);
        }
    }
    return out;
}

std::string PdoLayout::pdoText(const PdoNode& n) {
    return format(n.rpdo ? "RPDO %d - CANID:0x%X" : "TPDO %d - CANID:0x%X", n.number + 1, n.canId);
}

bool PdoLayout::objectOf(const PdoItem& item, int& index, int& sub, int& bits) {
    const bool output = item.entry.side != 0;
    if (item.words() == 1) {
        index = output ? 0x2100 : 0x2000;
        sub = item.offset() + 1;
        bits = 16;
        return true;
    }
    if (item.words() == 2) {
        index = output ? 0x2101 : 0x2001;
        sub = item.offset() / 2 + 1;
        bits = 32;
        return true;
    }
    return false;
}

std::string PdoLayout::itemText(const PdoItem& item, IoMsgTable* names) {
    std::string text;
    if (item.entry.side && item.type == kClearCounterType && item.reg() == kClearCounterReg) {
        text = format("VEXA-%04X(ID:%d) CLR_DICounter -- ", item.type, item.address());
    } else {
        std::string name = names ? names->name(item.type, static_cast<std::uint32_t>(item.reg())) : std::string();
        text = format("VEXA-%04X(ID:%d) ", item.type, item.address()) + name + " -- ";
    }
    int index = 0, sub = 0, bits = 0;
    if (objectOf(item, index, sub, bits))
        text += format(bits == 16 ? "U16(0x%04X.%02X)" : "U32(0x%04X.%02X)", index, sub);
    else
        text += format("%d byte", item.words() * 2);
    return text;
}

}  // namespace vexadesk
