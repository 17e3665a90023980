#include "CVexaBootPort.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstring>

#include "BootPortContract.h"
#include "CSubTunnel.h"
#include "DialogHost.h"

namespace vexa::bootport {

namespace {

constexpr int kSlots = 8;
constexpr int kFirstAddress = 1;
constexpr int kLastAddress = 15;
// Type codes of a sub module running its boot loader; older firmware writes 9999 in decimal.
constexpr std::uint16_t kBootLoaderTypes[] = {0x9999, 0x270F};
constexpr int kSerialTimeoutMs = 2000;
constexpr int kEnterAttempts = 4;
constexpr int kEnterPauseMs = 100;
// AA AA in property register 0xFF asks a module to start its boot loader: two bytes.
constexpr int kBootRegister = 0xFF;
constexpr int kBootRegisterCount = 2;
constexpr std::uint8_t kEnterBoot[2] = {0xAA, 0xAA};
// Bounds a search that a misbehaving library would never end.
constexpr int kMaxSearchResults = 1024;
constexpr unsigned kCountMax = 0x7FFFFFFF;

bool isBootLoader(std::uint16_t type) {
    return std::find(std::begin(kBootLoaderTypes), std::end(kBootLoaderTypes), type) != std::end(kBootLoaderTypes);
}

}  // namespace

CBootPort& CBootPort::instance() {
    static CVexaBootPort port;
    return port;
}

void CVexaBootPort::release() {
    for (KO_HANDLE main : mains_) KO_UnOperateDev(main);
    mains_.clear();
    all_.clear();
    boot_.clear();
}

int CVexaBootPort::config(void*) {
    const int chosen = fwdlg::selectTransport(params_.transport);
    if (chosen >= 0) params_.transport = static_cast<std::uint8_t>(chosen);
    return 1;
}

int CVexaBootPort::open(const void* params) {
    release();
    VexaPortParams p{};
    p.magic = VEXA_PORT_MAGIC;
    if (params) {
        std::memcpy(&p, params, sizeof p);
        // A refused record leaves the plug-in closed rather than on its previous settings.
        if (p.magic != VEXA_PORT_MAGIC ||
            (p.transport == VEXA_PORT_RS485 && !copyPortText(p.portText, portText_))) {
            params_ = VexaPortParams{};
            return 0;
        }
    }
    p.portText = portText_.data();
    params_ = p;
    return 1;
}

void CVexaBootPort::adopt(KO_HANDLE main) {
    // A coupler the library hands out twice is listed once.
    if (!main || std::find(mains_.begin(), mains_.end(), main) != mains_.end()) return;
    mains_.push_back(main);
    if (KO_SearchSubDev(main) != RC_OK) return;
    const int filter = params_.subAddress;
    const bool everyAddress = filter == 0 || filter > kLastAddress;
    for (int slot = 0; slot < kSlots; ++slot) {
        short address = 0, maker = 0, type = 0, mode = 0, hardware = 0, software = 0;
        int serial = 0;
        if (KO_GetSearchSubDev(main, &address, &maker, &type, &mode, &hardware, &software, &serial, slot) != RC_OK ||
            address < kFirstAddress || address > kLastAddress)
            continue;
        const SubModule m{main, static_cast<std::uint8_t>(address)};
        all_.push_back(m);
        if (isBootLoader(static_cast<std::uint16_t>(type)) && (everyAddress || filter == address)) boot_.push_back(m);
    }
}

void CVexaBootPort::findEthernet() {
    if (params_.ipAddress != 0) {
        char dotted[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, &params_.ipAddress, dotted, sizeof dotted);
        KO_EthSearchByIP(dotted);
    } else {
        KO_EthSearchAll();
    }
    char ip[KO_IP_TEXT_SIZE], mac[KO_MAC_TEXT_SIZE];
    int hardware = 0, type = 0, mode = 0, flags = 0, extra = 0;
    for (int i = 0; i < kMaxSearchResults; ++i) {
        std::memset(ip, 0, sizeof ip);
        std::memset(mac, 0, sizeof mac);
        if (KO_EthGetSearchDev(ip, mac, &hardware, &type, &mode, &flags, &extra) != RC_OK) break;
        adopt(KO_EthSetOperateDev(ip, mac, type, mode));
    }
}

void CVexaBootPort::findSerial() {
    const std::int32_t* s = params_.serial;
    KO_RSSearchByID(params_.station, params_.rsParam, portText_.data(), s[0], s[1], s[2], s[3], s[4], s[5], s[6],
                    s[7], kSerialTimeoutMs);
    char station = 0;
    short maker = 0, type = 0, mode = 0, hardware = 0, software = 0;
    int serial = 0;
    if (KO_RSGetSearch(&station, &maker, &type, &mode, &hardware, &software, &serial) != RC_OK) return;
    adopt(KO_RSSetOperateDev(static_cast<unsigned char>(station), static_cast<std::uint16_t>(type),
                             static_cast<std::uint16_t>(mode), params_.rsParam, portText_.data(), s[0], s[1], s[2],
                             s[3], s[4], s[5], s[6], s[7], kSerialTimeoutMs));
}

void CVexaBootPort::findHid() {
    KO_HIDSearchAll();
    char path[KO_HID_PATH_SIZE];
    short maker = 0, type = 0, mode = 0, hardware = 0, software = 0;
    int serial = 0;
    for (int i = 0; i < kMaxSearchResults; ++i) {
        std::memset(path, 0, sizeof path);
        if (KO_HIDGetSearchDev(path, &maker, &type, &mode, &hardware, &software, &serial) != RC_OK) break;
        adopt(KO_HIDSetOperateDev(path, static_cast<std::uint16_t>(type), static_cast<std::uint16_t>(mode)));
    }
}

int CVexaBootPort::search(int* handles) {
    release();
    if (!isOpen() || !handles) return 0;
    using Finder = void (CVexaBootPort::*)();
    static constexpr struct {
        std::uint8_t transport;
        Finder find;
    } kFinders[] = {
        {VEXA_PORT_ETHERNET, &CVexaBootPort::findEthernet},
        {VEXA_PORT_RS485, &CVexaBootPort::findSerial},
        {VEXA_PORT_HID, &CVexaBootPort::findHid},
    };
    for (const auto& f : kFinders)
        if (f.transport == params_.transport) (this->*f.find)();
    if (boot_.size() > DEV_MAX_HANDLES) boot_.resize(DEV_MAX_HANDLES);
    for (std::size_t i = 0; i < boot_.size(); ++i) handles[i] = static_cast<int>(i) + 1;
    return static_cast<int>(boot_.size());
}

void CVexaBootPort::enterBootMode(const SubModule& m) {
    // A module the library cannot select counts as a failed attempt, so the loop goes on.
    for (int attempt = 1; attempt <= kEnterAttempts; ++attempt) {
        KO_SUBHANDLE sub = KO_SetOperateSubDev(m.main, m.address);
        if (sub && KO_WriteSubPropByAddr(sub, kBootRegister, kBootRegisterCount, kEnterBoot) == RC_OK) return;
        if (attempt < kEnterAttempts) pause(kEnterPauseMs);
    }
}

int CVexaBootPort::enterBootMode() {
    if (!isOpen()) return 0;
    for (const SubModule& m : all_) enterBootMode(m);
    return 1;
}

bool CVexaBootPort::validHandle(int handle) const {
    return handle >= 1 && static_cast<std::size_t>(handle) <= boot_.size();
}

KO_SUBHANDLE CVexaBootPort::select(int handle) const {
    const SubModule& m = boot_[static_cast<std::size_t>(handle - 1)];
    return KO_SetOperateSubDev(m.main, m.address);
}

int CVexaBootPort::write(int handle, const std::uint8_t* data, unsigned n) {
    if (!isOpen()) return DEV_ERROR;
    if (!validHandle(handle)) return 0;
    if ((n > 0 && !data) || n > kCountMax) return DEV_ERROR;
    KO_SUBHANDLE sub = select(handle);
    return sub ? CSubTunnel(sub).write(data, n) : DEV_ERROR;
}

int CVexaBootPort::read(int handle, std::uint8_t* buffer, unsigned max) {
    if (!isOpen()) return DEV_ERROR;
    if (!validHandle(handle)) return 0;
    if ((max > 0 && !buffer) || max > kCountMax) return DEV_ERROR;
    KO_SUBHANDLE sub = select(handle);
    return sub ? CSubTunnel(sub).read(buffer, max) : DEV_ERROR;
}

int CVexaBootPort::close() {
    release();
    params_ = VexaPortParams{};
    return 1;
}

}  // namespace vexa::bootport
