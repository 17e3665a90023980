// USB coupler commands: the CANopen mapping (map channels|download|show) and the firmware
// download (hid-update).
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "SdkTarget.h"

namespace vexactl {

namespace {

constexpr int kTpdoSide = 0, kRpdoSide = 1;
constexpr int kImageWords[2] = {64, 32};  // input image (TPDO side), output image (RPDO side)
constexpr int kPdoCount[2] = {16, 8};
constexpr int kPdoWords = 4;
constexpr int kFupfHeader = 256;
constexpr long kFupfMaxImage = 0x10000;         // a coupler image file holds less than this
constexpr long kRawMaxImage = 0xFFFFL * 32;     // what 16-bit piece numbers can carry
constexpr int kDefaultSettleMs = 2500;          // the coupler restarts into its update mode

std::string hex(int v, int digits) {
    char b[16];
    std::snprintf(b, sizeof b, "0x%0*X", digits, v);
    return b;
}

// Opens the USB coupler named by positional[at]; other couplers have no CANopen mapping.
KO_HANDLE openHid(const Args& a, size_t at, Output& out, Target& t, int& status) {
    if (a.positional.size() <= at || !parseTarget(a.positional[at], a, t)) {
        status = kUsage;
        return nullptr;
    }
    if (t.kind != KO_KIND_HID) {
        std::fprintf(stderr, "vexactl: only a USB coupler (hid[:PATH]) has a CANopen mapping\n");
        status = kUsage;
        return nullptr;
    }
    int rc = RC_OK;
    KO_HANDLE h = openTarget(t, rc);
    if (!h) status = failedOpen(out, t, rc);
    return h;
}

std::vector<IoMapRecord> ioChannels(KO_HANDLE h, int& rc) {
    int count = 0;
    rc = KO_HidGetIOChl(h, nullptr, 0, &count);
    std::vector<IoMapRecord> channels(static_cast<size_t>(rc == RC_OK && count > 0 ? count : 0));
    if (!channels.empty()) rc = KO_HidGetIOChl(h, channels.data(), count, &count);
    channels.resize(static_cast<size_t>(rc == RC_OK ? count : 0));
    return channels;
}

// Places PDO settings side by side: each at the next free word of its side's image, four words
// to a PDO, the entry's position within its PDO counted as they come.
class PdoLayout {
public:
    // false when the entry does not fit its image or its PDO.
    bool add(int side, int offset, int pdo, int addr, int reg, int words, int channel) {
        if (words < 1 || words > 2 || offset < 0 || offset + words > kImageWords[side] || pdo < 0 ||
            pdo >= kPdoCount[side] || used_[side][pdo] + words > kPdoWords)
            return false;
        PdoMapEntry e{};
        e.setting[0] = static_cast<std::uint8_t>(offset);
        e.setting[1] = static_cast<std::uint8_t>(pdo + 16 * count_[side][pdo]);
        e.setting[2] = static_cast<std::uint8_t>(addr);
        e.setting[3] = static_cast<std::uint8_t>(reg);
        e.setting[4] = static_cast<std::uint8_t>(words);
        e.side = static_cast<std::uint8_t>(side);
        e.channel = static_cast<std::uint8_t>(channel < 0 || channel > 254 ? 255 : channel);
        used_[side][pdo] += words;
        ++count_[side][pdo];
        next_[side] = std::max(next_[side], offset + words);
        entries_.push_back(e);
        return true;
    }
    // Every channel in turn at the next free word of its side; two-word channels on even words.
    void addAll(const std::vector<IoMapRecord>& channels) {
        for (size_t i = 0; i < channels.size(); ++i) {
            const IoMapRecord& c = channels[i];
            int side = c.direction ? kRpdoSide : kTpdoSide, words = c.lengthRegs;
            int offset = next_[side] + (words == 2 && next_[side] % 2 ? 1 : 0);
            while (pdo_[side] < kPdoCount[side] && used_[side][pdo_[side]] + words > kPdoWords) ++pdo_[side];
            if (pdo_[side] < kPdoCount[side]) add(side, offset, pdo_[side], c.subAddress, c.reg, words, static_cast<int>(i));
        }
    }
    const std::vector<PdoMapEntry>& entries() const { return entries_; }

private:
    std::vector<PdoMapEntry> entries_;
    int used_[2][16] = {};
    int count_[2][16] = {};
    int next_[2] = {0, 0};
    int pdo_[2] = {0, 0};
};

// "t:OFFSET:PDO:ADDR:REG:WORDS" (TPDO, an input) or "r:…" (RPDO, an output); numbers decimal
// or 0x-hex.
bool parseEntry(const std::string& text, PdoLayout& layout) {
    if (text.size() < 3 || (text[0] != 't' && text[0] != 'r') || text[1] != ':') return false;
    int v[5];
    const char* p = text.c_str() + 2;
    for (int i = 0; i < 5; ++i) {
        char* end = nullptr;
        long n = std::strtol(p, &end, 0);
        if (end == p || n < 0 || n > 255 || (i < 4 ? *end != ':' : *end != '\0')) return false;
        v[i] = static_cast<int>(n);
        p = end + 1;
    }
    return layout.add(text[0] == 'r' ? kRpdoSide : kTpdoSide, v[0], v[1], v[2], v[3], v[4], -1);
}

Record ioRecord(const std::uint8_t* w) {
    return Record()
        .add("list", "io")
        .add("addr", w[0])
        .add("dir", w[1] ? "out" : "in")
        .add("reg", hex(w[2], 2))
        .add("words", w[3]);
}

Record pdoRecord(const char* list, const std::uint8_t* s) {
    return Record()
        .add("list", list)
        .add("offset", s[0])
        .add("pdo", s[1] & 0x0F)
        .add("pos", s[1] >> 4)
        .add("addr", s[2])
        .add("reg", hex(s[3], 2))
        .add("words", s[4]);
}

struct ReadBack {
    std::vector<std::uint8_t> io, sdo, tpdo, rpdo;
};

int readBack(KO_HANDLE h, ReadBack& rb) {
    int n[4] = {};
    int rc = KO_HidGetMapInfo(h, &n[0], &n[1], &n[2], &n[3]);
    if (rc != RC_OK) return rc;
    rb.io.resize(static_cast<size_t>(n[0]) * 4);
    rb.sdo.resize(static_cast<size_t>(n[1]) * sizeof(SdoMapRecord));
    rb.tpdo.resize(static_cast<size_t>(n[2]) * 6);
    rb.rpdo.resize(static_cast<size_t>(n[3]) * 6);
    if (n[0]) rc = KO_HidGetIOMap(h, reinterpret_cast<int*>(rb.io.data()), n[0]);
    if (rc == RC_OK && n[1]) rc = KO_HidGetSDOMap(h, rb.sdo.data(), n[1]);
    if (rc == RC_OK && n[2]) rc = KO_HidGetTPDOMap(h, rb.tpdo.data(), n[2]);
    if (rc == RC_OK && n[3]) rc = KO_HidGetRPDOMap(h, rb.rpdo.data(), n[3]);
    return rc;
}

void show(const ReadBack& rb, Output& out) {
    for (size_t i = 0; i + 4 <= rb.io.size(); i += 4) out.record(ioRecord(&rb.io[i]));
    for (size_t i = 0; i + sizeof(SdoMapRecord) <= rb.sdo.size(); i += sizeof(SdoMapRecord)) {
        SdoMapRecord s;
        std::memcpy(&s, &rb.sdo[i], sizeof s);
        out.record(Record()
                       .add("list", "sdo")
                       .add("object", hex(s.index, 4) + "." + hex(s.subIndex, 2).substr(2))
                       .add("addr", s.subAddress)
                       .add("reg", hex(s.reg, 2))
                       .add("words", s.lengthRegs));
    }
    for (size_t i = 0; i + 6 <= rb.tpdo.size(); i += 6) out.record(pdoRecord("tpdo", &rb.tpdo[i]));
    for (size_t i = 0; i + 6 <= rb.rpdo.size(); i += 6) out.record(pdoRecord("rpdo", &rb.rpdo[i]));
}

// The PDO settings read back are those sent, side by side in order; every I/O map word names
// a sub module that has channels. (Its direction may differ from its channels': the map sides
// by read-only items, the channel list by register range.)
std::string verify(const ReadBack& rb, const std::vector<PdoMapEntry>& sent, const std::vector<IoMapRecord>& channels) {
    std::vector<std::uint8_t> want[2];
    for (const auto& e : sent) want[e.side ? kRpdoSide : kTpdoSide].insert(want[e.side ? 1 : 0].end(), e.setting, e.setting + 6);
    if (rb.tpdo != want[kTpdoSide]) return "TPDO settings differ";
    if (rb.rpdo != want[kRpdoSide]) return "RPDO settings differ";
    if (!channels.empty() && rb.io.empty()) return "no I/O map";
    for (size_t i = 0; i + 4 <= rb.io.size(); i += 4) {
        bool named = false;
        for (const auto& c : channels) named = named || c.subAddress == rb.io[i];
        if (!named) return "an I/O map word names no sub module with channels";
    }
    return "";
}

int mapChannels(const Args& a, Output& out) {
    Target t;
    int status = kOk;
    KO_HANDLE h = openHid(a, 1, out, t, status);
    if (!h) return status;
    int rc = RC_OK;
    for (const auto& c : ioChannels(h, rc))
        out.record(Record()
                       .add("addr", c.subAddress)
                       .add("dir", c.direction ? "out" : "in")
                       .add("reg", hex(c.reg, 2))
                       .add("words", c.lengthRegs)
                       .add("type", hex(c.type, 4))
                       .add("key", std::string(c.key, strnlen(c.key, sizeof c.key))));
    KO_UnOperateDev(h);
    return finishSdk(out, rc);
}

int mapShow(const Args& a, Output& out) {
    Target t;
    int status = kOk;
    KO_HANDLE h = openHid(a, 1, out, t, status);
    if (!h) return status;
    ReadBack rb;
    int rc = readBack(h, rb);
    if (rc == RC_OK) show(rb, out);
    KO_UnOperateDev(h);
    return finishSdk(out, rc);
}

int mapDownload(const Args& a, Output& out) {
    PdoLayout layout;
    for (size_t i = 2; i < a.positional.size(); ++i)
        if (!parseEntry(a.positional[i], layout)) {
            std::fprintf(stderr, "vexactl: '%s' is no PDO entry that fits (t|r:OFFSET:PDO:ADDR:REG:WORDS)\n",
                         a.positional[i].c_str());
            return kUsage;
        }
    // An empty download wipes the coupler's mapping: only when asked for in so many words.
    const bool clear = a.has("clear");
    if (layout.entries().empty() && !a.has("all") && !clear) {
        std::fprintf(stderr, "vexactl: nothing to download: name PDO entries, --all, or --clear to empty the mapping\n");
        return kUsage;
    }
    if (clear && (!layout.entries().empty() || a.has("all"))) {
        std::fprintf(stderr, "vexactl: --clear downloads an empty mapping; it takes no entries and no --all\n");
        return kUsage;
    }
    Target t;
    int status = kOk;
    KO_HANDLE h = openHid(a, 1, out, t, status);
    if (!h) return status;
    int rc = RC_OK;
    std::vector<IoMapRecord> channels = ioChannels(h, rc);
    if (a.has("all")) layout.addAll(channels);
    if (rc == RC_OK && layout.entries().empty() && !clear) {
        KO_UnOperateDev(h);
        out.message("the coupler's sub modules have no channels to map; nothing downloaded");
        return out.finish(RC_FAILED, "NOTHING_TO_MAP", false);
    }
    if (rc == RC_OK) rc = KO_HidClearPDOSet(h);
    for (const auto& e : layout.entries())
        if (rc == RC_OK) rc = KO_HidAddPDOSet(h, &e, sizeof e);
    if (rc == RC_OK) rc = KO_HidDownloadIO(h);
    if (rc == RC_OK) rc = KO_HidDownloadSPDO(h);
    ReadBack rb;
    if (rc == RC_OK) rc = readBack(h, rb);
    KO_UnOperateDev(h);
    if (rc != RC_OK) return finishSdk(out, rc);
    show(rb, out);
    std::string mismatch = verify(rb, layout.entries(), channels);
    out.record(Record().add("verified", mismatch.empty() ? "yes" : "no: " + mismatch));
    return mismatch.empty() ? finishSdk(out, RC_OK) : out.finish(RC_FAILED, "READ_BACK_DIFFERS", false);
}

int map(const Args& a, Output& out) {
    std::string what = a.positional.empty() ? "" : a.positional[0];
    if (what == "channels") return mapChannels(a, out);
    if (what == "show") return mapShow(a, out);
    if (what == "download") return mapDownload(a, out);
    return kUsage;
}

// ---- hid-update ----

// A .fupf file: a 256-byte header whose first four bytes give the image length N
// (little-endian), then the N image bytes; anything else is taken as the bare image.
bool loadImage(const std::string& path, const std::string& format, std::vector<unsigned char>& image,
               std::string& why) {
    if (format != "" && format != "fupf" && format != "raw") {
        why = "--format is fupf or raw";
        return false;
    }
    // A folder or a device would be read as an image (or not at all): only a plain file is one.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        why = path + ": " + (std::filesystem::exists(path, ec) ? "not a file" : std::strerror(ENOENT));
        return false;
    }
    std::ifstream f(path, std::ios::binary);
    std::vector<unsigned char> file;
    if (f) file.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    if (!f && !f.eof()) {
        why = path + ": " + std::strerror(errno ? errno : EIO);
        return false;
    }
    // Any file is a .fupf image unless the caller says it is a bare one: the header's length is
    // what tells a firmware image from some other file.
    if (format == "raw") {
        if (static_cast<long>(file.size()) > kRawMaxImage) {
            why = "image larger than a coupler takes";
            return false;
        }
        image = std::move(file);
        return true;
    }
    if (file.size() < kFupfHeader) {
        why = "file size does not match its header (not a .fupf image? --format raw sends a bare one)";
        return false;
    }
    unsigned long n = file[0] | file[1] << 8 | file[2] << 16 | static_cast<unsigned long>(file[3]) << 24;
    if (file.size() != n + kFupfHeader) {
        why = "file size does not match its header (not a .fupf image? --format raw sends a bare one)";
        return false;
    }
    if (n >= static_cast<unsigned long>(kFupfMaxImage)) {
        why = "image larger than the coupler's flash";
        return false;
    }
    image.assign(file.begin() + kFupfHeader, file.end());
    return true;
}

Progress* gProgress = nullptr;  // the library reports through a plain function

void drawProgress(unsigned int message, intptr_t, intptr_t percent) {
    if (message == KO_UPDATE_PROGRESS_MESSAGE && gProgress) gProgress->show(static_cast<long>(percent), 100);
}

int hidUpdate(const Args& a, Output& out) {
    if (a.positional.size() < 2) return kUsage;
    std::vector<unsigned char> image;
    std::string why;
    if (!loadImage(a.positional[1], a.get("format"), image, why)) {
        std::fprintf(stderr, "vexactl: %s\n", why.c_str());
        return kUsage;
    }
    Target t;
    int status = kOk;
    KO_HANDLE h = openHid(a, 0, out, t, status);
    if (!h) return status;
    out.message("entering update mode");
    int rc = KO_HidUpdateBegin(h);
    long settle = a.getInt("settle", kDefaultSettleMs);
    if (rc == RC_OK && settle > 0) {
        // The coupler restarts into its update mode: let go of it and find it again.
        KO_UnOperateDev(h);
        std::this_thread::sleep_for(std::chrono::milliseconds(settle));
        h = openTarget(t, rc);
        if (!h && rc == RC_OK) rc = RC_FAILED;
    }
    if (rc == RC_OK) {
        out.message("downloading " + std::to_string(image.size()) + " bytes");
        Progress bar(!out.json() && !a.has("no-progress"));
        gProgress = &bar;
        rc = KO_HidUpdate(h, image.data(), static_cast<int>(image.size()), bar.drawing() ? drawProgress : nullptr);
        gProgress = nullptr;
        bar.end();
        out.record(Record()
                       .add("bytes", static_cast<long long>(image.size()))
                       .add("pieces", static_cast<long long>((image.size() + 31) / 32)));
    }
    if (h) KO_UnOperateDev(h);
    return finishSdk(out, rc);
}

}  // namespace

VEXACTL_COMMAND("map", "map channels|show TARGET | map download TARGET --all|--clear|t|r:OFF:PDO:ADDR:REG:WORDS...",
                "USB coupler CANopen mapping: list channels, read back, download and verify", map,
                {Option::flag("all", "download: every channel, side by side"),
                 Option::flag("clear", "download: an empty mapping")});
VEXACTL_COMMAND("hid-update", "hid-update TARGET IMAGE [--format fupf|raw] [--settle MS] [--no-progress]",
                "download a firmware image to a USB coupler", hidUpdate,
                {Option::text("format", "fupf|raw", "how IMAGE is laid out (default fupf)"),
                 Option::number("settle", "MS", 0, 60000, "wait for the coupler's restart into its update mode"),
                 Option::flag("no-progress", "draw no progress bar")});

}  // namespace vexactl
