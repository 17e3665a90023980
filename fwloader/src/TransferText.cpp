#include "TransferText.h"

#include <cstdio>

namespace fwl {

namespace {

struct DeviceError {
    std::uint16_t code;
    const char* text;
};

constexpr DeviceError kDeviceErrors[] = {
    {0x200, "擦除Flash失败"},
    {0x201, "固件校验失败"},
    {0x202, "写Flash失败"},
    {0x203, "退出升级模式失败"},
    {0x204, "设备接收数据包超时"},
    {0x205, "接收到数据包时,未处于数据传输状态"},
    {0x206, "升级文件头格式不正确"},
    {0x207, "升级固件链接起始地址太小"},
    {0x208, "固件长度太长"},
    {0x209, "设备类型及硬件版本不符合"},
    {0x20A, "升级固件版本低于设备固件版本（该固件文件不允许降级使用）"},
    {0x20B, "设备固件程序无效"},
};

}  // namespace

std::string deviceErrorText(std::uint16_t code) {
    for (const DeviceError& e : kDeviceErrors)
        if (e.code == code) return e.text;
    char text[48];
    std::snprintf(text, sizeof text, "错误码：0x%x", static_cast<unsigned>(code));
    return text;
}

std::string blockMismatchText(unsigned current, unsigned wanted) {
    char text[128];
    std::snprintf(text, sizeof text, "传输协议出错，当前传输块号：%u,设备端需求块号：%u", current, wanted);
    return text;
}

}  // namespace fwl
