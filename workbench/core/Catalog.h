#pragma once
// The device-type catalog in memory: what one XML catalog file says about a module type's pages
// (categories, rows, editors, options) and its I/O objects. Plain data, no widgets: the property
// grid (grid/CNetProGrid) is built from a CatalogPage and links each node to its row.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vexadesk {

// How a row is edited. Plain rows with a non-empty `unuseval` are check-box rows.
enum class EditorKind : int {
    Plain = 0,
    ComboEdit = 1,      // drop-down that also takes typed text
    Button = 2,
    StateButton = 3,
    SendData = 4,
    TextWithState = 5,
};

constexpr int kNodeCategory = 1;
constexpr int kNodeItem = 10;
constexpr std::uint32_t kNoColour = 0xFFFFFFFFu;
// Ids above this name a row of page B (id - 1000).
constexpr int kPageBIdBase = 1000;

// Item ids an option enables or disables: at most 19, then the terminator.
constexpr std::uint16_t kIdListEnd = 0xFFFF;
constexpr std::size_t kIdListSlots = 20;
using IdList = std::array<std::uint16_t, kIdListSlots>;
inline IdList emptyIdList() {
    IdList l{};
    l.fill(kIdListEnd);
    return l;
}

struct CatalogOption {
    std::string name;   // shown in the drop-down
    std::string value;  // the raw value the row stands for, as the library renders it
    IdList disable = emptyIdList();
    IdList enable = emptyIdList();
};

class GridRow;  // grid/: the on-screen row of a node

struct CatalogNode {
    int kind = kNodeItem;  // kNodeCategory or kNodeItem
    int id = 0;
    int readonly = 0;
    int property = 0;
    int mdyearlier = 0;
    int modifycheck = 1;
    int showhex = 0;
    int modifyalway = 0;
    EditorKind editor = EditorKind::Plain;
    int startid = 0;
    std::string name, cmd, defaultval, comment, unuseval;
    std::uint32_t colour = kNoColour;  // platform order 0x00BBGGRR
    int colourSlot = 0;                // 1 from colorval_0, 2 from colorval_1, 0 none
    std::vector<CatalogOption> options;
    int selectedOption = -1;
    GridRow* row = nullptr;  // set by the grid that shows this node

    bool isCategory() const { return kind < kNodeItem; }
    bool isCheckRow() const {
        return !unuseval.empty() && (editor == EditorKind::Plain || editor == EditorKind::ComboEdit);
    }
};

struct CatalogSection {
    std::string name;
    std::string comment;
};

// One property page: a category node, its item nodes, the next category, ...
struct CatalogPage {
    std::uint32_t key = 0;  // type code (page A) or hardware version (page B)
    std::vector<std::unique_ptr<CatalogNode>> nodes;
};

struct DevTypeEntry {
    CatalogPage pageA;
    CatalogPage pageB;  // nodes only when the file sets master="2"
    std::vector<CatalogSection> sectionsA, sectionsB;
    std::string file;   // where it came from, for messages

    std::uint16_t typeCode() const { return static_cast<std::uint16_t>(pageA.key); }
    std::uint16_t hardVer() const { return static_cast<std::uint16_t>(pageB.key); }
};

struct IoMsgRecord {
    std::uint32_t addr = 0;
    std::string name;
    bool hasDir = false;
    std::uint8_t dir = 0;
    bool hasReslen = false;
    std::uint8_t reslen = 0;  // 16-bit words
};

// I/O object names, directions and lengths per type code, in order of first use.
class IoMsgTable {
public:
    void add(std::uint16_t type, IoMsgRecord r);
    // "" when there is none (the type's group is created empty when new).
    std::string name(std::uint16_t type, std::uint32_t addr);
    bool dir(std::uint16_t type, std::uint32_t addr, std::uint8_t& out) const;
    bool reslen(std::uint16_t type, std::uint32_t addr, std::uint8_t& out) const;
    const std::vector<IoMsgRecord>* group(std::uint16_t type) const;
    void clear() { groups_.clear(); }

private:
    struct Group {
        std::uint16_t type;
        std::vector<IoMsgRecord> records;
    };
    Group& groupFor(std::uint16_t type);
    std::vector<Group> groups_;
};

}  // namespace vexadesk
