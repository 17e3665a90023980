#pragma once
// Shared by the Modbus master tests: a private program folder for the error log, and
// connections to the test peer.
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "MbMaster.h"
#include "MbTestPeer.h"

namespace mbtest {

// A fresh program folder per test, so that each test sees only its own log entries.
class TempAppDir {
public:
    TempAppDir() {
        char tmpl[] = "/tmp/mbmaster-test-XXXXXX";
        dir_ = ::mkdtemp(tmpl);
        dir_ += "/";
        ::setenv("VEXA_APPDIR", dir_.c_str(), 1);
    }
    ~TempAppDir() {
        std::remove(logPath().c_str());
        ::rmdir(dir_.c_str());
    }
    const std::string& dir() const { return dir_; }
    std::string logPath() const { return dir_ + "M_Sdk_ErrorLog.Log"; }
    std::string logText() const {
        std::ifstream f(logPath(), std::ios::binary);
        std::stringstream s;
        s << f.rdbuf();
        return s.str();
    }
    // Entries without their CR LF.
    std::vector<std::string> logEntries() const {
        std::vector<std::string> out;
        const std::string text = logText();
        std::size_t pos = 0;
        for (std::size_t end; (end = text.find("\r\n", pos)) != std::string::npos; pos = end + 2)
            out.push_back(text.substr(pos, end - pos));
        return out;
    }

private:
    std::string dir_;
};

inline void* connectTo(const MbTestPeer& peer, int readTimeoutMs = 300) {
    if (peer.framing() == Framing::Tcp) return KMB_TCPConnectMDBServer("127.0.0.1", peer.port(), 0);
    const int framing = peer.framing() == Framing::Ascii ? KMB_FRAMING_ASCII : KMB_FRAMING_RTU;
    return KMB_SerConnectMDBServer(framing, peer.serialPath().c_str(), 115200, 8, 0, 0, 1, 0, 0, 0, readTimeoutMs);
}

}  // namespace mbtest
