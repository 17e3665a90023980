// The KMB_ exports: argument checks, the library lock and the table of live connections, then
// one call into the connection. Nothing here throws or prints.
#include <mutex>
#include <new>
#include <string>
#include <unordered_set>

#include "CMbSerialMsg.h"
#include "CMbSerialLink.h"
#include "CMbTcpLink.h"
#include "CMbTcpMsg.h"
#include "CModbusMaster.h"
#include "MbMaster.h"
#include "VexaCouplerWrite.h"

using vexa::mb::CModbusMaster;

namespace {

// Serialises every exchange across all connections (the transaction counter and the log are
// shared) and keeps a connection alive while a call uses it.
std::recursive_mutex& libraryLock() {
    static std::recursive_mutex lock;
    return lock;
}

// Live connections. A handle not in here (null, closed, foreign) is refused with 100.
class Connections {
public:
    static Connections& instance() {
        static Connections c;
        return c;
    }
    void add(CModbusMaster* m) {
        std::lock_guard lock(mutex_);
        live_.insert(m);
    }
    bool remove(CModbusMaster* m) {
        std::lock_guard lock(mutex_);
        return live_.erase(m) != 0;
    }
    CModbusMaster* find(void* h) {
        std::lock_guard lock(mutex_);
        auto it = live_.find(static_cast<CModbusMaster*>(h));
        return it == live_.end() ? nullptr : *it;
    }

private:
    std::mutex mutex_;
    std::unordered_set<CModbusMaster*> live_;
};

// Runs `call` on the handle's connection under the library lock; `onFailure` if it throws.
template <class Call>
int withConnection(void* h, Call&& call, int onFailure = KMB_ERR_FAILURE) noexcept {
    if (!h) return KMB_ERR_HANDLE;
    try {
        std::lock_guard lock(libraryLock());
        CModbusMaster* m = Connections::instance().find(h);
        return m ? call(*m) : KMB_ERR_HANDLE;
    } catch (...) {
        return onFailure;
    }
}

void* openConnection(std::unique_ptr<CModbusMaster> m) {
    if (!m->open()) return nullptr;
    CModbusMaster* raw = m.release();
    Connections::instance().add(raw);
    return raw;
}

}  // namespace

extern "C" {

KMB_API void* KMB_TCPConnectMDBServer(const char* address, int port, int /*unused*/) {
    // An empty address would make the socket class use the broadcast address.
    if (!address || !*address || port < 1 || port > 65535) return nullptr;
    try {
        return openConnection(std::make_unique<CModbusMaster>(std::make_unique<vexa::mb::CMbTcpMsg>(),
                                                              std::make_unique<vexa::mb::CMbTcpLink>(address, port)));
    } catch (...) {
        return nullptr;
    }
}

KMB_API void* KMB_SerConnectMDBServer(int framing, const char* port, int baud, int dataBits, int parity,
                                      int stopBits, int p7, int p8, int p9, int p10, int readTimeout) {
    if (!port || !*port || baud <= 0 || (framing != KMB_FRAMING_RTU && framing != KMB_FRAMING_ASCII)) return nullptr;
    try {
        vexa::mb::SerialLinkSettings s;
        s.device = std::string("\\\\.\\") + port;
        s.baud = baud;
        s.dataBits = dataBits;
        s.parity = parity;
        s.stopBits = stopBits;
        // The link takes the eighth and ninth arguments in swapped order (stored caller
        // settings are laid out that way); the tenth is not used.
        const int linkArgs[4] = {p7, p9, p8, p10};
        s.rtsControl = linkArgs[0];
        s.ctsOutFlow = linkArgs[1];
        s.dsrOutFlow = linkArgs[2];
        // A zero total time-out would wait for the first byte for ever.
        s.readTimeoutMs = readTimeout > 0 ? readTimeout : 1000;
        auto mode = framing == KMB_FRAMING_ASCII ? vexa::mb::CMbSerialMsg::kAscii : vexa::mb::CMbSerialMsg::kRtu;
        return openConnection(std::make_unique<CModbusMaster>(std::make_unique<vexa::mb::CMbSerialMsg>(mode),
                                                              std::make_unique<vexa::mb::CMbSerialLink>(s)));
    } catch (...) {
        return nullptr;
    }
}

KMB_API void KMB_DisConnectMDBServer(void* handle) {
    if (!handle) return;
    try {
        // Under the lock: a call in progress on this connection finishes first.
        std::lock_guard lock(libraryLock());
        auto* m = static_cast<CModbusMaster*>(handle);
        if (Connections::instance().remove(m)) delete m;
    } catch (...) {
    }
}

KMB_API int KMB_ReadCoil(void* h, int unit, int start, int count, unsigned char* out, int transaction) {
    return withConnection(h, [&](CModbusMaster& m) { return m.read(0x01, unit, start, count, out, transaction); });
}

KMB_API int KMB_ReadInput(void* h, int unit, int start, int count, unsigned char* out, int transaction) {
    return withConnection(h, [&](CModbusMaster& m) { return m.read(0x02, unit, start, count, out, transaction); });
}

KMB_API int KMB_ReadHoldReg(void* h, int unit, int start, int count, short* out, int transaction) {
    return withConnection(h, [&](CModbusMaster& m) { return m.read(0x03, unit, start, count, out, transaction); });
}

KMB_API int KMB_ReadInputReg(void* h, int unit, int start, int count, short* out, int transaction) {
    return withConnection(h, [&](CModbusMaster& m) { return m.read(0x04, unit, start, count, out, transaction); });
}

KMB_API int KMB_WriteCoilSingle(void* h, int unit, int address, int value, int transaction) {
    return withConnection(h, [&](CModbusMaster& m) { return m.writeSingle(0x05, unit, address, value, transaction); });
}

KMB_API int KMB_WriteRegSingle(void* h, int unit, int address, int value, int transaction) {
    return withConnection(h, [&](CModbusMaster& m) { return m.writeSingle(0x06, unit, address, value, transaction); });
}

KMB_API int KMB_WriteCoilMulitiple(void* h, int unit, int start, int count, const unsigned char* values,
                                   int transaction) {
    return withConnection(h,
                          [&](CModbusMaster& m) { return m.writeMultiple(0x0F, unit, start, count, values, transaction); });
}

KMB_API int KMB_WriteRegMulitiple(void* h, int unit, int start, int count, const short* values, int transaction) {
    return withConnection(h,
                          [&](CModbusMaster& m) { return m.writeMultiple(0x10, unit, start, count, values, transaction); });
}

KMB_API int KMB_WriteCmdBuf(void* h, const unsigned char* frame, int len, int /*unused*/) {
    return withConnection(
        h, [&](CModbusMaster& m) { return (!frame || len < 1) ? 0 : m.sendRaw(frame, len); }, 0);
}

KMB_API int KMB_ReadRecBuf(void* h, unsigned char* buf, int len, int* outLen, int /*unused*/) {
    if (outLen) *outLen = 0;
    return withConnection(h, [&](CModbusMaster& m) {
        return (!buf || !outLen || len < 1) ? KMB_ERR_ARGUMENT : m.receiveRaw(buf, len, outLen);
    });
}

KMB_API int KMB_SetCommunicationHandle(void* h, KMB_NotifyProc proc, int message) {
    return withConnection(h, [&](CModbusMaster& m) {
        m.setNotify(proc, message);
        return KMB_OK;
    });
}

KMB_API int KMB_SetRegByVexa(const char* address, const char* mac, int subAddr, int start, int count,
                             const short* values) {
    try {
        // The fixed local port is one per process: one helper call at a time.
        std::lock_guard lock(libraryLock());
        return vexa::mb::writeSubRegistersByEthernet(address, mac, subAddr, start, count, values);
    } catch (...) {
        return KMB_ERR_VEXA_SEND;
    }
}

KMB_API int KMB_SetRegByRSVexa(void* h, int station, int start, int count, const short* values) {
    return withConnection(
        h,
        [&](CModbusMaster& m) {
            const auto frame = vexa::mb::rsWriteFrame(station, start, count, values);
            if (frame.empty()) return KMB_ERR_RS_SEND;
            int framed = 0;
            const int sent = m.sendRaw(frame.data(), static_cast<int>(frame.size()), &framed);
            return sent == framed ? KMB_OK : KMB_ERR_RS_SEND;
        },
        KMB_ERR_RS_SEND);
}

}  // extern "C"
