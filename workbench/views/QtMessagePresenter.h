#pragma once
// Message boxes of the global object, shown as Qt message boxes.
#include "core/CGenGlobal.h"

namespace vexadesk {

class QtMessagePresenter : public name_share::IMessagePresenter {
public:
    int present(void* owner, const std::string& caption, const std::string& text, int kind, int style) override;
};

}  // namespace vexadesk
