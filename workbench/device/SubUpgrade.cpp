#include "device/SubUpgrade.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include <FwLoader.h>
#include <VexaBootParams.h>
#include <VexaSdk.h>

#include <algorithm>
#include <memory>
#include <string>

#include <arpa/inet.h>

#include "core/CKNetCom2Global.h"
#include "device/CDeviceThread.h"
#include "device/DeviceOps.h"
#include "dialogs/CDlgUpdateFirme.h"

namespace vexadesk {

namespace {

constexpr std::uint16_t kOtherBootLoaderType = 0x270F;
constexpr int kBootRegister = 0xFF;
constexpr unsigned char kUpgradeStarts = 0x83;
constexpr unsigned char kUpgradeEnds = 0x84;
constexpr int kEchoLength = 5;
constexpr int kReadRoom = 100;

QString tr(const char* text) { return QCoreApplication::translate("vexadesk::SubUpgrade", text); }

void say(QWidget* parent, const QString& text, int kind = 1) {
    if (auto* g = CKNetCom2Global::Instance()) g->MessageBoxText(parent, text.toStdString(), kind, 0);
}

// Tells the open coupler a sub-module upgrade starts or ended: 0 taken, else the result that
// names what went wrong.
int notifyCoupler(DeviceRecord& r, unsigned char command, int notSent, int badReply) {
    const unsigned char request[3] = {0x7E, 0x05, command};
    if (KO_SendMainCmd(r.handle.load(), request, 3, 0) < 0) return notSent;
    unsigned char reply[kReadRoom] = {};
    int n = KO_ReadMainBuf(r.handle.load(), reply, kReadRoom);
    return isCommandEcho(reply, n, command) ? kSubUpgradeDone : badReply;
}

// Device thread: the module into its boot loader, the coupler told and released.
int prepare(DeviceRecord& r, int subId, bool bootLoaderRuns) {
    if (!bootLoaderRuns) {
        KO_SUBHANDLE s = openSubDevice(r, subId);
        const unsigned char magic[2] = {0xAA, 0xAA};
        if (!s || KO_WriteSubPropByAddr(s, kBootRegister, 2, magic) != RC_OK) return kSubUpgradeBootFailed;
    }
    if (openDevice(r) != RC_OK) return kSubUpgradeStartNotSent;
    // Only the USB coupler is told: it stops its CANopen traffic to the module meanwhile.
    if (r.linkType == kLinkUsb) {
        int rc = notifyCoupler(r, kUpgradeStarts, kSubUpgradeStartNotSent, kSubUpgradeStartBadReply);
        if (rc != kSubUpgradeDone) return rc;
    }
    // The library's plug-in opens the coupler on its own while its dialog runs.
    closeDevice(r);
    return kSubUpgradeDone;
}

// Device thread: the coupler back, told the upgrade ended.
int finish(DeviceRecord& r) {
    if (!reopenDevice(r)) return kSubUpgradeReopenFailed;
    if (r.linkType != kLinkUsb) return kSubUpgradeDone;
    return notifyCoupler(r, kUpgradeEnds, kSubUpgradeEndNotSent, kSubUpgradeEndBadReply);
}

QString messageFor(int rc) {
    switch (rc) {
        case kSubUpgradeStartNotSent: return tr("通知VEXA-9020 开始子模块升级 不成功\n");
        case kSubUpgradeStartBadReply: return tr("通知VEXA-9020 开始子模块升级 异常响应 \n");
        case kSubUpgradeReopenFailed: return tr("无法操作 VEXA-9020 无法退出子模块升级\n");
        case kSubUpgradeEndNotSent: return tr("通知VEXA-9020 子模块升级结束 不成功\n");
        case kSubUpgradeEndBadReply: return tr("通知VEXA-9020 子模块升级结束 异常响应 \n");
        default: return {};
    }
}

bool g_running = false;

}  // namespace

int libraryUpgradeDialog(const char* commName, const char* path, void* openParams) {
    return KB_UpdateFirwareDlg(commName, path, openParams);
}

bool runsBootLoader(std::uint16_t type) { return type == kBootLoaderType || type == kOtherBootLoaderType; }

QString subUpgradeQuestion(std::uint16_t type, int subId) {
    return tr("\t程序将对子模块固件进行升级\r\n \t\t\r\n\t升级的子模块类型为: VEXA-%1  \t\t\r\n\t模块ID号为: %2  \t\t\r\n\t确定？")
        .arg(type, 4, 16, QLatin1Char('0'))
        .arg(subId);
}

QString couplerUpgradeQuestion(std::uint16_t type) {
    return tr("\t将要对模块VEXA-%1 进行固件升级\t\r\n").arg(type, 4, 16, QLatin1Char('0'));
}

bool isCommandEcho(const unsigned char* reply, int length, unsigned char command) {
    // An error reply is five bytes too; only the echoed command says the coupler took it.
    return reply && length == kEchoLength && reply[0] == 0x7E && reply[1] == kEchoLength && reply[2] == command;
}

void forgetSubRows(DeviceRecord& r) {
    for (auto& s : r.subSlots) {
        s.propertyRows.clear();
        s.dataRows.clear();
        s.scratchRows.clear();
    }
}

bool subUpgradeRunning() { return g_running; }

void runSubUpgrade(QWidget* parent, CDeviceThread& thread, DeviceRecord& r, int subId,
                   std::function<void(int rc)> done, UpgradeDialogStep step) {
    auto end = [done](int rc) {
        g_running = false;
        if (done) done(rc);
    };
    SubSlot* slot = r.slotWithId(subId);
    if (!slot || g_running) {
        if (done) done(kSubUpgradeNoModule);
        return;
    }
    g_running = true;
    const std::uint16_t type = slot->type;
    const bool bootLoaderRuns = runsBootLoader(type);
    // What the pages showed of the module is stale once it runs other firmware.
    slot->propertyRows.clear();
    slot->dataRows.clear();
    slot->scratchRows.clear();

    auto params = std::make_shared<VexaPortParams>();
    *params = VexaPortParams{};
    params->magic = VEXA_PORT_MAGIC;
    params->transport = static_cast<std::uint8_t>(r.linkType);
    params->subAddress = static_cast<std::uint8_t>(subId);
    // The plug-in finds the coupler again the way the search found it.
    auto port = std::make_shared<std::string>(r.line.port);
    if (r.linkType == kLinkEthernet) {
        ::inet_pton(AF_INET, r.ip.c_str(), &params->ipAddress);
    } else if (r.linkType == kLinkSerial) {
        params->station = static_cast<std::uint8_t>(r.station);
        params->rsParam = r.line.framing;
        params->portText = port->c_str();
        const std::int32_t serial[8] = {r.line.baud, r.line.dataBits, r.line.parity, r.line.stopBits, 1, 1, 0, 0};
        std::copy(std::begin(serial), std::end(serial), params->serial);
    }

    if (!bootLoaderRuns) {
        auto* g = CKNetCom2Global::Instance();
        int answer = g ? g->MessageBoxText(parent, subUpgradeQuestion(type, subId).toStdString(), 1, 1) : 0;
        if (answer != QMessageBox::Yes) {
            end(kSubUpgradeDeclined);
            return;
        }
    }
    if (!step) step = libraryUpgradeDialog;

    QPointer<QWidget> owner(parent);
    QObject* receiver = &thread;
    DeviceRecord* rec = &r;
    CDeviceThread* th = &thread;
    thread.run<int>(
        receiver, [rec, subId, bootLoaderRuns] { return prepare(*rec, subId, bootLoaderRuns); },
        [owner, receiver, rec, th, params, port, step, end](int rc) {
            if (rc == kSubUpgradeBootFailed) {
                if (auto* p = name_share::CGenGlobal::Presenter())
                    p->present(owner.data(), tr("提示").toStdString(), tr("进入升级模式失败").toStdString(), 0, 0);
                end(rc);
                return;
            }
            if (rc != kSubUpgradeDone) {
                say(owner.data(), messageFor(rc));
                end(rc);
                return;
            }
            step("VEXA", nullptr, params.get());
            th->run<int>(
                receiver, [rec] { return finish(*rec); },
                [owner, rec, end](int rc2) {
                    forgetSubRows(*rec);
                    if (rc2 != kSubUpgradeDone) say(owner.data(), messageFor(rc2));
                    end(rc2);
                });
        });
}

bool runCouplerUpgrade(QWidget* parent, CDeviceThread& thread, DeviceRecord& r, UpgradeDialogStep step) {
    auto* g = CKNetCom2Global::Instance();
    int answer = g ? g->MessageBoxText(parent, couplerUpgradeQuestion(r.type).toStdString(), 1, 1) : 0;
    if (answer != QMessageBox::Yes) return false;
    if (r.linkType == kLinkSerial) {
        // The RS-485 coupler is a Modbus station: the upgrade library's Modbus plug-in takes the
        // line over while its dialog runs, so the workbench lets go of it until then.
        MbPortParams params{};
        params.magic = MB_PORT_MAGIC;
        params.copyPortText = 1;
        params.station = static_cast<std::uint8_t>(r.station);
        params.lineMode = r.line.framing;
        params.portText = r.line.port.c_str();
        params.baudRate = r.line.baud;
        params.dataBits = r.line.dataBits;
        params.serial[0] = r.line.parity;
        params.serial[1] = r.line.stopBits;
        DeviceRecord* rec = &r;
        thread.post([rec] { closeDevice(*rec); });
        thread.waitIdle();
        (step ? step : libraryUpgradeDialog)("ModBus", nullptr, &params);
        thread.post([rec] { openDevice(*rec); });
        forgetSubRows(r);
        r.mainRows.clear();
        return true;
    }
    CDlgUpdateFirme dlg(thread, r, parent);
    dlg.exec();
    return true;
}

}  // namespace vexadesk
