#pragma once
// The PDO mapping of one coupler as the slave-configuration dialog edits it: the sub modules'
// channels per side, the occupancy of the coupler's 64 input and 32 output words, and its 16
// TPDOs and 8 RPDOs of at most 4 words each. No widgets: the dialog shows what this decides.
//
// Every entry that comes in, whether added by hand, read back from the coupler or loaded from a
// file, passes the same checks, so nothing placed here lies outside the images or over another.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

// Only the library's record layouts: core does not call the library.
#include <VexaSdk.h>

namespace vexadesk {

class IoMsgTable;

// What an edit came to; the dialog shows pdoMessageText() of anything but Ok.
enum class PdoMsg {
    Ok,
    NoChannel,          // "没有通道映射"
    OutOfImage,         // "超出可映射内存"
    WordsTaken,         // "该偏移无足够内存映射"
    NotAPdoNode,        // "请在树控件中正确选择需要添加到的PDO根节点"
    PdoFull,            // "超过PDO 8字节 映射,请映射到其它PDO"
    PdoRootNotDeletable,  // "PDO 根节点不能删除"
    RootNotDeletable,   // "根节点不能删除"
    NothingSelected,    // "选择一个映射通道"
    BadLength,          // a read or loaded entry of no or more than 4 words
    ChannelTaken,       // a read or loaded entry for a channel that is mapped already
};
// The message's text (UTF-8, the dialog's translation context "vexadesk::CUsbDownDlg").
const char* pdoMessageText(PdoMsg m);

// One mapped channel: the entry as downloaded, plus the type code of its channel (0 unknown).
struct PdoItem {
    PdoMapEntry entry{};
    std::uint16_t type = 0;
    int offset() const { return entry.setting[0]; }
    int words() const { return entry.setting[4]; }
    int address() const { return entry.setting[2]; }
    int reg() const { return entry.setting[3]; }
    int channel() const { return entry.channel; }
};

struct PdoNode {
    bool rpdo = false;
    int number = 0;           // 0-based
    std::uint32_t canId = 0;
    int usedWords = 0;
    std::vector<PdoItem> items;
};

// What is selected in the tree: nothing, a side's root, a PDO, or an entry of a PDO.
struct PdoTarget {
    enum Kind { None, Root, Pdo, Entry } kind = None;
    bool rpdo = false;
    int pdo = -1;
    int item = -1;
};

// A read or loaded entry that was not placed, and why.
struct DroppedEntry {
    bool rpdo = false;
    int position = 0;  // 0-based in its list
    PdoMapEntry entry{};
    PdoMsg why = PdoMsg::Ok;
};

class PdoLayout {
public:
    static constexpr int kInputWords = 64;
    static constexpr int kOutputWords = 32;
    static constexpr int kTpdos = 16;
    static constexpr int kRpdos = 8;
    static constexpr int kPdoWords = 4;
    static constexpr std::uint8_t kUnplaced = 255;  // PDO byte of a new entry; channel index unknown

    PdoLayout();

    // Splits the channels into inputs (direction 0) and outputs and clears the mapping.
    void setChannels(const std::vector<IoMapRecord>& channels);
    const std::vector<IoMapRecord>& channels(bool output) const { return output ? outputs_ : inputs_; }
    bool channelFree(bool output, int index) const;

    void setNodeAddress(int address);
    int nodeAddress() const { return nodeAddress_; }
    static std::uint32_t canId(bool rpdo, int number, int nodeAddress);

    int pdoCount(bool rpdo) const { return rpdo ? kRpdos : kTpdos; }
    const PdoNode& pdo(bool rpdo, int number) const;
    int imageWords(bool output) const { return output ? kOutputWords : kInputWords; }
    bool wordUsed(bool output, int word) const;
    int entryCount() const;

    // Adds channel `channel` of a side (-1: none selected) at word `offset` to the PDO selected.
    PdoMsg add(bool output, int channel, int offset, const PdoTarget& target);
    // Places an entry as read back or loaded (side by `rpdo`, PDO by the low nibble of byte 1):
    // matched to a free channel of that side by address, register and length, or kept with
    // channel index 255 and no type when none matches.
    PdoMsg place(bool rpdo, const PdoMapEntry& entry);
    // Places RPDO entries, then TPDO entries; returns those that were dropped.
    std::vector<DroppedEntry> placeAll(const std::vector<PdoMapEntry>& rpdo, const std::vector<PdoMapEntry>& tpdo);
    PdoMsg remove(const PdoTarget& target);
    void clear();

    // The entries of a side in tree order with their PDO byte set to number + 16 × position:
    // what is downloaded and saved.
    std::vector<PdoMapEntry> entries(bool rpdo) const;

    // The tree's texts.
    static std::string pdoText(const PdoNode& n);
    // "VEXA-%04X(ID:%d) %s -- " and "U16(0x%04X.%02X)", "U32(...)" or "%d byte".
    static std::string itemText(const PdoItem& item, IoMsgTable* names);
    // Object index, sub-index and bit length of a mapped channel; false for lengths other than 1, 2.
    static bool objectOf(const PdoItem& item, int& index, int& sub, int& bits);

private:
    PdoMsg insert(const PdoMapEntry& entry, std::uint16_t type, const PdoTarget& target);
    PdoNode& node(bool rpdo, int number);
    std::vector<std::uint8_t>& used(bool output) { return output ? outputUsed_ : inputUsed_; }
    std::vector<bool>& taken(bool output) { return output ? outputTaken_ : inputTaken_; }
    void release(const PdoItem& item);

    std::vector<IoMapRecord> inputs_, outputs_;
    std::vector<bool> inputTaken_, outputTaken_;
    std::vector<std::uint8_t> inputUsed_, outputUsed_;
    std::array<PdoNode, kTpdos> tpdos_;
    std::array<PdoNode, kRpdos> rpdos_;
    int nodeAddress_ = 0;
};

}  // namespace vexadesk
