#include "CSubCounter.h"

#include "SubText.h"
#include "main/ValueFormat.h"

namespace vexa {

namespace {
constexpr const char* kCounter = "DATA_COUNT_";
}

void CSubCounter::FormatData(PropertyItem& item) {
    if (!startsWith(item.key, kCounter)) return;
    auto v = static_cast<std::int32_t>(lowWordFirst(item.raw));
    item.floatValue = static_cast<float>(v);
    item.setText(textf("%d", v));
}

bool CSubCounter::ParseData(PropertyItem& item, const std::string& text) {
    if (!startsWith(item.key, kCounter)) return true;
    return parseAs(item, kFmtBe32Dec, text);
}

}  // namespace vexa
