#pragma once
// The view: the module workspace or, for a module in its boot loader, the boot-loader page.
#include <QStackedWidget>

#include <cstdint>

namespace vexadesk {

class CDeviceThread;
class CDlgBootLoader;
class CDlgWorkSpace;
class CEqumentTree;

class CVexaDeskView : public QStackedWidget {
    Q_OBJECT
public:
    CVexaDeskView(CDeviceThread& thread, CEqumentTree& tree, QWidget* parent = nullptr);

    CDlgWorkSpace* workspace() const { return workspace_; }
    CDlgBootLoader* bootLoader() const { return boot_; }
    bool showingBootLoader() const;

    static bool isBootLoaderType(std::uint16_t type) { return type == 0x9999 || type == 0x270F; }

public slots:
    // Message 0x0466.
    void onShowPage(quint32 wParam, quint32 lParam);

private:
    CDlgWorkSpace* workspace_;
    CDlgBootLoader* boot_;
};

}  // namespace vexadesk
