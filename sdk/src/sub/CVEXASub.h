#pragma once
// A sub (I/O) module behind a coupler: its identity, its property and data registers as named
// items in groups that are read one register block at a time, the changes waiting to be
// written, and the CANopen mapping it contributes. All traffic goes through the coupler's
// message and transport. The class row (SubTables.h) says which items a module has; the family
// subclasses turn class-specific (format 20) values into text and back.
#include <cstdint>
#include <string>
#include <vector>

#include "SubTables.h"
#include "VexaSdk.h"
#include "main/PropertyItem.h"
#include "msg/SubSlotRecord.h"

namespace vexa {

class CVEXAMain;

enum SubArea { kSubProperty = 0, kSubData = 1 };

// A block of registers read with one request (two over USB), and the items placed from it.
struct ItemGroup {
    int kind = 0;  // SubArea: 0 properties, 1 data
    int block = 0;
    int startReg = 0;
    int lengthBytes = 0;
    std::vector<PropertyItem> items;
};

class CVEXASub {
public:
    static constexpr int kBlockBytes = 64;
    static constexpr int kIdentityBlock = 8;
    static constexpr int kRegisters = 256;  // a module's register space

    CVEXASub(CVEXAMain* main, const SubSlotRecord& slot);
    virtual ~CVEXASub();
    CVEXASub(const CVEXASub&) = delete;
    CVEXASub& operator=(const CVEXASub&) = delete;

    // Builds the groups of the class `row` describes and its SDO records; the manager calls it
    // once, right after construction.
    void Build(const SubClassRow& row);

    // ---- the sub-module exports ----
    int ReadProperties();
    int ReadData();
    int GetProperty(const char* key, char* text) const;
    int GetData(const char* key, char* text) const;
    int ResetProperties();
    int ResetData();
    int ModifyProperty(const char* key, const char* text);
    int ModifyData(const char* key, const char* text);
    int SubmitProperties();
    int SubmitData();
    // `buf` must hold count × 2 bytes.
    int ReadPropByAddr(int reg, int count, void* buf, int* len);
    int WritePropByAddr(int reg, int length, const void* buf);  // length in bytes
    // `length` in bytes; `buf` must hold `length` bytes.
    int ReadDataByAddr(int reg, int length, void* buf, int* len);
    int WriteDataByAddr(int reg, int length, const void* buf);

    // Places register data of a block reply (area: property or data) into the items.
    virtual void ApplyBlock(int area, int block, int startReg, const std::uint8_t* data, int len);

    // The CANopen mapping this module contributes to a USB coupler:
    // its I/O channel list (fills at most `capacity` records when `records` is not null; `count`
    // receives the number of channels, which may exceed `capacity`),
    virtual void GetIoChannels(IoMapRecord* records, int capacity, int* count);
    // its I/O map records (the first four bytes of each are the mapping word), in creation order,
    const std::vector<IoMapRecord>& ioMapRecords() const { return ioMap_; }
    // and its SDO records.
    const std::vector<SdoMapRecord>& sdoRecords() const { return sdo_; }

    int address() const { return slot_.address; }
    CVEXAMain* main() const { return main_; }
    const SubSlotRecord& slot() const { return slot_; }
    int typeCode() const { return typeCode_; }
    const char* className() const { return row_ ? row_->className : "CVEXASub"; }
    const std::vector<ItemGroup>& propertyGroups() const { return props_; }
    const std::vector<ItemGroup>& dataGroups() const { return data_; }
    bool propertiesRead() const { return propsRead_; }
    bool dataRead() const { return dataRead_; }
    std::size_t pendingProperties() const { return pendingProps_.size(); }
    std::size_t pendingData() const { return pendingData_.size(); }

protected:
    // Format-20 raw bytes to text (and the item's float value); the base class does nothing.
    virtual void FormatData(PropertyItem& item);
    // Format-20 text to raw bytes; false when the text is no value of the item (the raw bytes
    // then stay as they were). The base class accepts any text and changes nothing.
    virtual bool ParseData(PropertyItem& item, const std::string& text);

    PropertyItem* FindProperty(const std::string& key);
    const PropertyItem* FindProperty(const std::string& key) const;
    // The big-endian 16-bit value of a property (a channel's range selector); 0 when absent.
    int PropertyWord(const std::string& key) const;
    // Queues a copy of a property, replacing a pending copy with the same key: displays fold
    // their edits into the register item they show.
    void QueueProperty(const PropertyItem& item);
    // Renders an item by its format.
    void Render(PropertyItem& item);

    const SubClassRow* row_ = nullptr;

private:
    using ItemList = std::vector<PropertyItem>;

    void AddGroup(ItemGroup group);
    void DeriveIoMap(const ItemGroup& group);
    void FillIdentity();
    void RefreshClassItems();
    const PropertyItem* Find(const std::vector<ItemGroup>& groups, const std::string& key) const;
    int ReadGroups(std::vector<ItemGroup>& groups, int maxBlock, bool& readFlag);
    int ReadGroup(const ItemGroup& group);
    int Get(const std::vector<ItemGroup>& groups, bool read, int notRead, int unknown, const char* key,
            char* text) const;
    int Modify(bool data, const char* key, const char* text);
    int Submit(bool data);
    int WriteRegisters(bool data, int reg, int lengthBytes, const std::uint8_t* bytes);
    void StoreBitWord(bool data, int reg, std::uint16_t word);
    int ReadDataByAddrPaged(int reg, int length, std::uint8_t* out, int* len);
    int WriteDataByAddrInPieces(int reg, int length, const std::uint8_t* data);

    CVEXAMain* main_;
    SubSlotRecord slot_;
    int typeCode_ = 0;
    bool propsRead_ = false;
    bool dataRead_ = false;
    std::vector<ItemGroup> props_;
    std::vector<ItemGroup> data_;
    ItemList pendingProps_;
    ItemList pendingData_;
    std::vector<IoMapRecord> ioMap_;
    std::vector<SdoMapRecord> sdo_;
    std::vector<int> channelRegs_;  // scratch of GetIoChannels
};

}  // namespace vexa
