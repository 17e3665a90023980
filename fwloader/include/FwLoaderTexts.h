/* The upgrade library's result texts and their English, in one table.
 *
 * The library records its texts in Chinese (KB_GetErrInfo, KB_CheckUpgradeFile, the message
 * handler), and callers compare them as they stand. Programs that show them to a person look
 * them up here: vexactl by the locale environment, the workbench and the upgrade dialog by the
 * language the user chose. Header only (C++17), so that every program shares the table without
 * linking anything more.
 */
#ifndef VEXA_FWLOADER_TEXTS_H
#define VEXA_FWLOADER_TEXTS_H

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace vexa::fwtext {

/* A text as the library records it, and its English. "%u" (decimal digits) and "%x" (hex
 * digits) stand for the parts that vary; the English has them in the same order. */
struct Text {
    const char* chinese;
    const char* english;
};

inline constexpr Text kFileOpen{"打开升级文件失败", "the upgrade file cannot be opened"};
inline constexpr Text kFileFormat{"升级文件格式错误", "the upgrade file is malformed"};
inline constexpr Text kTypeMismatch{"固件类型不匹配", "the firmware does not suit the device"};
inline constexpr Text kSendFailed{"发送数据出错", "the data could not be sent"};
inline constexpr Text kNoReply{"设备回应超时,超过重试次数", "the device did not answer, retries used up"};
inline constexpr Text kBadReply{"设备回应数据包格式错误", "the device's reply is malformed"};
inline constexpr Text kNoDevice{"设备不存在", "no such device"};
inline constexpr Text kLoadFailed{"加载通信DLL失败", "the communication plug-in cannot be loaded"};
inline constexpr Text kDone{"升级完成", "upgrade complete"};
/* A device error code the table below does not know. */
inline constexpr Text kDeviceErrorCode{"错误码：0x%x", "device error code 0x%x"};
/* The device asked for a block beyond the one being sent. */
inline constexpr Text kBlockMismatch{"传输协议出错，当前传输块号：%u,设备端需求块号：%u",
                                     "transfer protocol error: block %u sent, the device asks for block %u"};

/* Error codes a boot loader reports with status 2. */
struct DeviceError {
    std::uint16_t code;
    Text text;
};
inline constexpr DeviceError kDeviceErrors[] = {
    {0x200, {"擦除Flash失败", "erasing the flash failed"}},
    {0x201, {"固件校验失败", "the firmware check failed"}},
    {0x202, {"写Flash失败", "writing the flash failed"}},
    {0x203, {"退出升级模式失败", "leaving the upgrade mode failed"}},
    {0x204, {"设备接收数据包超时", "the device timed out waiting for data"}},
    {0x205, {"接收到数据包时,未处于数据传输状态", "data arrived while the device was not transferring"}},
    {0x206, {"升级文件头格式不正确", "the upgrade file's header is malformed"}},
    {0x207, {"升级固件链接起始地址太小", "the firmware's link address is too low"}},
    {0x208, {"固件长度太长", "the firmware is too long"}},
    {0x209, {"设备类型及硬件版本不符合", "the device type or hardware version does not match"}},
    {0x20A, {"升级固件版本低于设备固件版本（该固件文件不允许降级使用）",
             "the firmware is older than the device's (this file may not downgrade)"}},
    {0x20B, {"设备固件程序无效", "the device's firmware is invalid"}},
};

namespace detail {

inline constexpr const Text* kFixed[] = {&kFileOpen,    &kFileFormat, &kTypeMismatch, &kSendFailed,
                                         &kNoReply,     &kBadReply,   &kNoDevice,     &kLoadFailed,
                                         &kDone,        &kDeviceErrorCode, &kBlockMismatch};

inline bool digitOf(char c, bool hex) {
    if (c >= '0' && c <= '9') return true;
    return hex && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'));
}

/* True when `text` has the shape of `pattern`; the variable parts go to `parts`. */
inline bool match(std::string_view pattern, std::string_view text, std::vector<std::string_view>& parts) {
    parts.clear();
    std::size_t p = 0, t = 0;
    while (p < pattern.size()) {
        if (pattern[p] == '%' && p + 1 < pattern.size() && (pattern[p + 1] == 'u' || pattern[p + 1] == 'x')) {
            const bool hex = pattern[p + 1] == 'x';
            const std::size_t from = t;
            while (t < text.size() && digitOf(text[t], hex)) ++t;
            if (t == from) return false;
            parts.push_back(text.substr(from, t - from));
            p += 2;
            continue;
        }
        if (t >= text.size() || text[t] != pattern[p]) return false;
        ++p;
        ++t;
    }
    return t == text.size();
}

inline std::string fill(std::string_view pattern, const std::vector<std::string_view>& parts) {
    std::string out;
    std::size_t next = 0;
    for (std::size_t p = 0; p < pattern.size(); ++p) {
        if (pattern[p] == '%' && p + 1 < pattern.size() && (pattern[p + 1] == 'u' || pattern[p + 1] == 'x')) {
            if (next < parts.size()) out += parts[next++];
            ++p;
            continue;
        }
        out += pattern[p];
    }
    return out;
}

inline bool english(const Text& row, std::string_view text, std::string& out) {
    std::vector<std::string_view> parts;
    if (!match(row.chinese, text, parts)) return false;
    out = fill(row.english, parts);
    return true;
}

}  // namespace detail

/* The English of a library text; a text the table does not know comes back as it is. */
inline std::string english(std::string_view text) {
    std::string out;
    for (const DeviceError& e : kDeviceErrors)
        if (detail::english(e.text, text, out)) return out;
    for (const Text* row : detail::kFixed)
        if (detail::english(*row, text, out)) return out;
    return std::string(text);
}

/* A library text for a person: as recorded for a Chinese reader, else its English. */
inline std::string localized(std::string_view text, bool chinese) {
    return chinese ? std::string(text) : english(text);
}

/* Whether the locale environment asks for Chinese: the first of LC_ALL, LC_MESSAGES and LANG
 * that is set and not empty starts with "zh". */
inline bool chineseEnvironment() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) return std::strncmp(value, "zh", 2) == 0;
    }
    return false;
}

}  // namespace vexa::fwtext

#endif /* VEXA_FWLOADER_TEXTS_H */
