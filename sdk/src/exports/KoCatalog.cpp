// Catalog exports: the sub-module class table as tools see it, without a coupler, so that no
// tool needs the library's private headers to know which keys a module type has.
#include <cstdint>
#include <cstring>
#include <string>

#include "msg/SubSlotRecord.h"
#include "msg/vexa_rc.h"
#include "sub/SubTables.h"

using namespace vexa;

static_assert(KO_SUB_SLOTS == kSubSlots, "the public slot count is the one the couplers report");

namespace {

// A type or version code as a search slot hands it out: a short or an unsigned short.
bool code16(int v, std::uint16_t& out) {
    if (v < INT16_MIN || v > UINT16_MAX) return false;
    out = static_cast<std::uint16_t>(v);
    return true;
}

int copyText(const char* text, char* out, int size) {
    if (!out || size < 0) return RC_INVALID_PARAM;
    std::size_t n = std::strlen(text);
    if (n >= static_cast<std::size_t>(size)) {
        if (size > 0) out[0] = '\0';
        return RC_BUFFER_TOO_SMALL;
    }
    std::memcpy(out, text, n + 1);
    return RC_OK;
}

int publicRole(ItemRole role) {
    switch (role) {
        case ItemRole::Setting: return KO_ROLE_SETTING;
        case ItemRole::Local: return KO_ROLE_LOCAL;
        case ItemRole::Input: return KO_ROLE_INPUT;
        case ItemRole::Output: return KO_ROLE_OUTPUT;
    }
    return KO_ROLE_SETTING;
}

// The index-th key in SubClassKeys order, found without building the whole list: a caller
// enumerating every key would otherwise pay for the list once per key.
bool keyAt(const SubClassRow& cls, bool data, int index, std::string& key, int& role) {
    if (!data) {
        auto ids = IdentityRows();
        if (static_cast<std::size_t>(index) < ids.size()) {
            key = ids[static_cast<std::size_t>(index)].key;
            role = KO_ROLE_IDENTITY;
            return true;
        }
        index -= static_cast<int>(ids.size());
    }
    for (const auto& table : cls.items)
        for (const auto& row : table) {
            bool isData = row.role == ItemRole::Input || row.role == ItemRole::Output;
            if (isData != data) continue;
            int n = row.channels ? row.channels : 1;
            if (index < n) {
                key = ItemKey(row, index);
                role = publicRole(row.role);
                return true;
            }
            index -= n;
        }
    return false;
}

// The class serving a slot's codes, or the result code saying why there is none.
int findClass(int type, int hardVer, const SubClassRow*& cls) {
    std::uint16_t t, hw;
    if (!code16(type, t) || !code16(hardVer, hw)) return RC_INVALID_PARAM;
    cls = FindSubClass(t, hw);
    return cls ? RC_OK : RC_TYPE_UNKNOWN;
}

// No exception leaves an export (key texts are built on the heap).
template <class Op>
int guarded(Op op) {
    try {
        return op();
    } catch (...) {
        return RC_FAILED;
    }
}

}  // namespace

extern "C" {

VEXASDK_API int KO_GetSubClass(int index, int* type, int* minHardVer, char* name, int size) {
    return guarded([&] {
        if (index < 0 || !type || !minHardVer || !name) return RC_INVALID_PARAM;
        auto rows = SubClassRows();
        if (static_cast<std::size_t>(index) >= rows.size()) return RC_NO_MORE;
        const SubClassRow& row = rows[static_cast<std::size_t>(index)];
        int rc = copyText(row.className, name, size);
        if (rc != RC_OK) return rc;
        *type = row.type;
        *minHardVer = row.minHardVer;
        return RC_OK;
    });
}

VEXASDK_API int KO_GetSubClassName(int type, int hardVer, char* name, int size) {
    return guarded([&] {
        if (!name) return RC_INVALID_PARAM;
        const SubClassRow* cls = nullptr;
        int rc = findClass(type, hardVer, cls);
        return rc == RC_OK ? copyText(cls->className, name, size) : rc;
    });
}

VEXASDK_API int KO_GetSubClassKey(int type, int hardVer, int data, int index, char* key, int size, int* role) {
    return guarded([&] {
        if (index < 0 || !key) return RC_INVALID_PARAM;
        const SubClassRow* cls = nullptr;
        int rc = findClass(type, hardVer, cls);
        if (rc != RC_OK) return rc;
        std::string text;
        int itemRole = 0;
        if (!keyAt(*cls, data != 0, index, text, itemRole)) return RC_NO_MORE;
        rc = copyText(text.c_str(), key, size);
        if (rc == RC_OK && role) *role = itemRole;
        return rc;
    });
}

}  // extern "C"
