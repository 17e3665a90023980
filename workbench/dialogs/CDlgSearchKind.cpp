#include "dialogs/CDlgSearchKind.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <arpa/inet.h>

#include "core/CKNetCom2Global.h"

namespace vexadesk {

namespace {

constexpr const char* kSection = "SEARCH";
const int kBauds[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

QComboBox* choices(std::initializer_list<std::pair<QString, int>> items) {
    auto* box = new QComboBox;
    for (const auto& [text, value] : items) box->addItem(text, value);
    return box;
}

void selectData(QComboBox* box, int value) {
    int i = box->findData(value);
    if (i >= 0) box->setCurrentIndex(i);
}

bool validIp(const QString& text) {
    in_addr a{};
    return inet_pton(AF_INET, text.toLatin1().constData(), &a) == 1;
}

}  // namespace

CDlgSearchKind::CDlgSearchKind(QWidget* parent)
    : QDialog(parent),
      kinds_(new QButtonGroup(this)),
      pages_(new QStackedWidget),
      broadcast_(new QRadioButton(tr("广播搜索"))),
      byAddress_(new QRadioButton(tr("按地址搜索"))),
      ip_(new QLineEdit),
      port_(new QComboBox),
      baud_(new QComboBox),
      framing_(choices({{QStringLiteral("RTU"), 0}, {QStringLiteral("ASCII"), 1}})),
      dataBits_(choices({{QStringLiteral("8"), 8}, {QStringLiteral("7"), 7}})),
      parity_(choices({{tr("无"), 0}, {tr("奇"), 1}, {tr("偶"), 2}})),
      stopBits_(choices({{QStringLiteral("1"), 0}, {QStringLiteral("2"), 2}})),
      first_(new QSpinBox),
      last_(new QSpinBox) {
    setWindowTitle(tr("搜索模块"));
    auto* kindRow = new QHBoxLayout;
    const QString names[] = {tr("以太网"), QStringLiteral("RS-485"), QStringLiteral("USB")};
    for (int kind : {kLinkUsb, kLinkEthernet, kLinkSerial}) {
        auto* b = new QRadioButton(names[kind]);
        b->setObjectName(QStringLiteral("kind_%1").arg(kind));
        kinds_->addButton(b, kind);
        kindRow->addWidget(b);
    }
    kindRow->addStretch();

    // One page per kind, in the kinds' numbering.
    auto* eth = new QWidget;
    auto* ethForm = new QFormLayout(eth);
    ethForm->addRow(broadcast_);
    ethForm->addRow(byAddress_, ip_);
    ip_->setObjectName(QStringLiteral("ip"));
    ip_->setPlaceholderText(QStringLiteral("192.168.1.10"));
    ip_->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9.]{0,15}")), ip_));
    connect(byAddress_, &QRadioButton::toggled, ip_, &QWidget::setEnabled);
    broadcast_->setChecked(true);
    ip_->setEnabled(false);

    auto* rs = new QWidget;
    auto* rsForm = new QFormLayout(rs);
    port_->setEditable(true);
    port_->setObjectName(QStringLiteral("port"));
    port_->addItems(serialPorts());
    for (int b : kBauds) baud_->addItem(QString::number(b), b);
    first_->setRange(1, 247);
    last_->setRange(1, 247);
    first_->setObjectName(QStringLiteral("first"));
    last_->setObjectName(QStringLiteral("last"));
    auto* stations = new QHBoxLayout;
    stations->addWidget(first_);
    stations->addWidget(new QLabel(QStringLiteral("–")));
    stations->addWidget(last_);
    rsForm->addRow(tr("串口"), port_);
    rsForm->addRow(tr("波特率"), baud_);
    rsForm->addRow(tr("帧格式"), framing_);
    rsForm->addRow(tr("数据位"), dataBits_);
    rsForm->addRow(tr("校验"), parity_);
    rsForm->addRow(tr("停止位"), stopBits_);
    rsForm->addRow(tr("站号范围"), stations);

    auto* usb = new QWidget;
    auto* usbForm = new QFormLayout(usb);
    usbForm->addRow(new QLabel(tr("搜索连接在本机上的 USB 通信模块")));
    for (QWidget* page : {eth, rs, usb}) pages_->addWidget(page);
    connect(kinds_, &QButtonGroup::idToggled, this, [this](int id, bool on) {
        if (on) pages_->setCurrentIndex(id);
    });

    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    box->button(QDialogButtonBox::Ok)->setText(tr("搜索"));
    box->button(QDialogButtonBox::Cancel)->setText(tr("取消"));
    connect(box, &QDialogButtonBox::accepted, this, &CDlgSearchKind::accept);
    connect(box, &QDialogButtonBox::rejected, this, &CDlgSearchKind::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(kindRow);
    layout->addWidget(pages_);
    layout->addWidget(box);
    setMinimumWidth(380);
    setRequest(stored());
}

namespace {
QStringList& knownPorts() {
    static QStringList ports;
    return ports;
}
}  // namespace

void CDlgSearchKind::addKnownPort(const QString& path) {
    if (!knownPorts().contains(path)) knownPorts() << path;
}

QStringList CDlgSearchKind::serialPorts() {
    QStringList out = knownPorts();
    for (const char* pattern : {"ttyUSB*", "ttyACM*", "ttyS*"}) {
        const QStringList names = QDir(QStringLiteral("/dev")).entryList({QString::fromLatin1(pattern)}, QDir::System);
        for (const QString& n : names) out << QStringLiteral("/dev/") + n;
    }
    return out;
}

SearchRequest CDlgSearchKind::request() const {
    SearchRequest r;
    r.kind = kinds_->checkedId() < 0 ? kLinkUsb : kinds_->checkedId();
    if (byAddress_->isChecked()) r.ip = ip_->text().trimmed().toStdString();
    r.line.port = port_->currentText().trimmed().toStdString();
    r.line.baud = baud_->currentData().toInt();
    r.line.framing = framing_->currentData().toInt();
    r.line.dataBits = dataBits_->currentData().toInt();
    r.line.parity = parity_->currentData().toInt();
    r.line.stopBits = stopBits_->currentData().toInt();
    r.firstStation = first_->value();
    r.lastStation = std::max(first_->value(), last_->value());
    return r;
}

void CDlgSearchKind::setRequest(const SearchRequest& r) {
    if (auto* b = kinds_->button(r.kind)) b->setChecked(true);
    pages_->setCurrentIndex(r.kind);
    (r.ip.empty() ? broadcast_ : byAddress_)->setChecked(true);
    ip_->setText(QString::fromStdString(r.ip));
    if (!r.line.port.empty()) port_->setCurrentText(QString::fromStdString(r.line.port));
    selectData(baud_, r.line.baud);
    selectData(framing_, r.line.framing);
    selectData(dataBits_, r.line.dataBits);
    selectData(parity_, r.line.parity);
    selectData(stopBits_, r.line.stopBits);
    first_->setValue(r.firstStation);
    last_->setValue(r.lastStation);
}

void CDlgSearchKind::accept() {
    const SearchRequest r = request();
    auto* g = CKNetCom2Global::Instance();
    if (r.kind == kLinkEthernet && byAddress_->isChecked() && !validIp(QString::fromStdString(r.ip))) {
        if (g) g->MessageBoxText(this, tr("请输入有效的 IP 地址").toStdString(), 1, 0);
        ip_->setFocus();
        return;
    }
    if (r.kind == kLinkSerial && r.line.port.empty()) {
        if (g) g->MessageBoxText(this, tr("请选择串口").toStdString(), 1, 0);
        port_->setFocus();
        return;
    }
    store(r);
    QDialog::accept();
}

SearchRequest CDlgSearchKind::stored() {
    SearchRequest r;
    auto* g = CKNetCom2Global::Instance();
    if (!g) return r;
    auto& ini = g->Settings();
    ini.GetInt(kSection, "kind", r.kind, false, kLinkUsb);
    if (r.kind < kLinkEthernet || r.kind > kLinkUsb) r.kind = kLinkUsb;
    ini.GetString(kSection, "ip", r.ip, 15);
    ini.GetString(kSection, "port", r.line.port, 255);
    ini.GetInt(kSection, "baud", r.line.baud, false, 9600);
    ini.GetInt(kSection, "framing", r.line.framing, false, 0);
    ini.GetInt(kSection, "databits", r.line.dataBits, false, 8);
    ini.GetInt(kSection, "parity", r.line.parity, false, 0);
    ini.GetInt(kSection, "stopbits", r.line.stopBits, false, 0);
    ini.GetInt(kSection, "first", r.firstStation, false, 1);
    ini.GetInt(kSection, "last", r.lastStation, false, 32);
    return r;
}

void CDlgSearchKind::store(const SearchRequest& r) {
    auto* g = CKNetCom2Global::Instance();
    if (!g) return;
    auto& ini = g->Settings();
    ini.WriteInt(kSection, "kind", r.kind, false);
    ini.WriteString(kSection, "ip", r.ip);
    ini.WriteString(kSection, "port", r.line.port);
    ini.WriteInt(kSection, "baud", r.line.baud, false);
    ini.WriteInt(kSection, "framing", r.line.framing, false);
    ini.WriteInt(kSection, "databits", r.line.dataBits, false);
    ini.WriteInt(kSection, "parity", r.line.parity, false);
    ini.WriteInt(kSection, "stopbits", r.line.stopBits, false);
    ini.WriteInt(kSection, "first", r.firstStation, false);
    ini.WriteInt(kSection, "last", r.lastStation, false);
}

}  // namespace vexadesk
