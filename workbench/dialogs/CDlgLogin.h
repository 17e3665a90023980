#pragma once
// "登录通信模块": the gate every coupler passes before its pages are shown. Logging in to a USB
// coupler is the workbench's own: the device is opened, the password kept for later submits,
// and nothing is sent to it.
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace vexadesk {

class CDeviceThread;
struct DeviceRecord;

class CDlgLogin : public QDialog {
    Q_OBJECT
public:
    CDlgLogin(DeviceRecord& record, CDeviceThread& thread, QWidget* parent = nullptr);

    int exec() override;  // already logged in: says so and ends with OK at once

    static constexpr const char* kServiceWord = "vantick";
    static constexpr const char* kDefaultPassword = "50317264";

    bool serviceMode() const { return serviceMode_; }
    QLineEdit* passwordEdit() const { return password_; }

public slots:
    void accept() override;

private:
    DeviceRecord& record_;
    CDeviceThread& thread_;
    QLabel* hint_;
    QLineEdit* password_;
    QPushButton* ok_;
    bool serviceMode_ = false;
    bool opening_ = false;
};

}  // namespace vexadesk
