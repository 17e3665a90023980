#pragma once
// Which couplers to search for: USB, Ethernet (by broadcast or one address) or RS-485 (one line
// and a station range). The last choice is kept in the settings file.
#include <QDialog>

#include "device/CouplerSearch.h"

class QButtonGroup;
class QComboBox;
class QLineEdit;
class QRadioButton;
class QSpinBox;
class QStackedWidget;

namespace vexadesk {

class CDlgSearchKind : public QDialog {
    Q_OBJECT
public:
    explicit CDlgSearchKind(QWidget* parent = nullptr);

    // What the dialog shows now; valid after OK.
    SearchRequest request() const;
    void setRequest(const SearchRequest& r);

    // The settings file's last choice (defaults when there is none).
    static SearchRequest stored();
    static void store(const SearchRequest& r);

    // Serial ports worth offering: ports made known by the program (the simulated rack's line),
    // then USB adapters and built-in ports that exist.
    static QStringList serialPorts();
    static void addKnownPort(const QString& path);

public slots:
    void accept() override;

private:
    QButtonGroup* kinds_;
    QStackedWidget* pages_;
    QRadioButton* broadcast_;
    QRadioButton* byAddress_;
    QLineEdit* ip_;
    QComboBox* port_;
    QComboBox* baud_;
    QComboBox* framing_;
    QComboBox* dataBits_;
    QComboBox* parity_;
    QComboBox* stopBits_;
    QSpinBox* first_;
    QSpinBox* last_;
};

}  // namespace vexadesk
