#include "views/CVexaDeskView.h"

#include "views/CDlgBootLoader.h"
#include "views/CDlgWorkSpace.h"

namespace vexadesk {

CVexaDeskView::CVexaDeskView(CDeviceThread& thread, CEqumentTree& tree, QWidget* parent)
    : QStackedWidget(parent), workspace_(new CDlgWorkSpace(thread, tree)), boot_(new CDlgBootLoader) {
    addWidget(workspace_);
    addWidget(boot_);
    setCurrentWidget(workspace_);
}

bool CVexaDeskView::showingBootLoader() const { return currentWidget() == boot_; }

void CVexaDeskView::onShowPage(quint32 wParam, quint32 lParam) {
    auto type = static_cast<std::uint16_t>(wParam & 0xFFFF);
    auto version = static_cast<std::uint16_t>(wParam >> 16);
    if (isBootLoaderType(type)) {
        boot_->setModuleWord(lParam);
        setCurrentWidget(boot_);
        return;
    }
    setCurrentWidget(workspace_);
    workspace_->showPage(type, version);
}

}  // namespace vexadesk
