#pragma once
// The VEXA boot plug-in's transport choice: Ethernet, serial (RS-485) or USB HID.
#include <QDialog>

class QRadioButton;

class CSelectDlg : public QDialog {
public:
    // `current` outside 0..2 shows as 0.
    explicit CSelectDlg(int current, QWidget* parent = nullptr);
    // The value of the checked button: 0 Ethernet, 1 serial, 2 HID.
    int selection() const;

private:
    QRadioButton* buttons_[3];
};
