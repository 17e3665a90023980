#pragma once
// Texts recorded with an upgrade result, shown to the user as they are.
#include <cstdint>
#include <string>

namespace fwl {

inline constexpr const char kTextFileOpen[] = "打开升级文件失败";
inline constexpr const char kTextFileFormat[] = "升级文件格式错误";
inline constexpr const char kTextTypeMismatch[] = "固件类型不匹配";
inline constexpr const char kTextSendFailed[] = "发送数据出错";
inline constexpr const char kTextNoReply[] = "设备回应超时,超过重试次数";
inline constexpr const char kTextBadReply[] = "设备回应数据包格式错误";
inline constexpr const char kTextNoDevice[] = "设备不存在";
inline constexpr const char kTextLoadFailed[] = "加载通信DLL失败";

// Text for an error code the boot loader reported with status 2.
std::string deviceErrorText(std::uint16_t code);

// Text for a device that took a block beyond the one being sent.
std::string blockMismatchText(unsigned current, unsigned wanted);

}  // namespace fwl
