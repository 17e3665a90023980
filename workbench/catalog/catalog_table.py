"""The device-type catalog as one table: every module type (and hardware generation) the
workbench shows, its pages, categories, rows and drop-down choices, in Chinese and English.

gen_catalog.py turns this into one XML file per (type, hardware version) and language. Rows are
data: a new module type or hardware generation is a new entry in TYPES (or in CALIBRATED), not
new code.

Row fields (made by row()):
  cmd      library key; with n > 0 a channel family: the key is cmd + channel number
  n        channel count (0: a single row)
  zh, en   caption; "{n}" becomes the channel number
  zhc, enc comment
  ro       1: the user cannot change the value (identity, process inputs, read-backs); 2: a
           command value the refresh leaves alone
  opts     name of an option set (drop-down); values are the texts the library renders
  edit     None (text), "state" (on/off button), "send" (send button), "textstate" (text with a
           Close/Normal/Exceed state icon)
  prop     1 on the data page: read with the property call
  default  text shown before the first read; on a command row (ro=2) the value its button sends
  early    1: a selector the other rows are parsed by (range, output type, work mode); a submit
           writes it on its own, before the rest

Command rows live on the data page: a configuration submit writes every row whose text differs
from what the module last showed, and a command row (ro=2) never shows the module's value.

Option entries: (value, zh name, en name) or with a fourth element, a dict of
"enable"/"disable" lists of keys ("{n}" = the row's channel) whose rows the choice unlocks or
locks.
"""

# ---------------------------------------------------------------- option sets

OPTION_SETS = {
    "enable": [("0", "禁用", "Disabled"), ("1", "启用", "Enabled")],
    "dout_mode": [("0", "保持输出", "Hold last output"), ("1", "输出安全值", "Apply safe value")],
    "dout_default": [("0", "断开", "Off"), ("1", "闭合", "On")],
    "bit_mode": [("0", "模式 0", "Mode 0"), ("1", "模式 1", "Mode 1")],
    "direction": [("0", "正向", "Forward"), ("1", "反向", "Reverse")],
    # Bipolar 16-bit inputs; any code without a range reads as switched off.
    "range_bipolar": [
        ("0", "±10 V", "±10 V"),
        ("1", "±5 V", "±5 V"),
        ("2", "±2.5 V", "±2.5 V"),
        ("4", "±625 mV", "±625 mV"),
        ("6", "±156.25 mV", "±156.25 mV"),
        ("17", "±20 mA", "±20 mA"),
        ("15", "关闭", "Off"),
    ],
    "range_offset12": [("0", "±5 V", "±5 V"), ("1", "±10 V", "±10 V"), ("2", "±20 mA", "±20 mA")],
    "range_signmag": [
        ("0", "±5 V", "±5 V"),
        ("1", "±10 V", "±10 V"),
        ("2", "±20 mA", "±20 mA"),
        ("3", "±40 mA", "±40 mA"),
    ],
    "range_millivolt": [
        ("0", "±15 mV", "±15 mV"),
        ("1", "±50 mV", "±50 mV"),
        ("2", "±100 mV", "±100 mV"),
        ("3", "±500 mV", "±500 mV"),
        ("4", "±1000 mV", "±1000 mV"),
        ("5", "±2500 mV", "±2500 mV"),
        ("6", "±20 mA", "±20 mA"),
    ],
    "range_mixed_in": [("0", "电压 ±10 V", "Voltage ±10 V"), ("1", "电流", "Current"), ("2", "关闭", "Off")],
    "range_out12": [("0", "0~10 V", "0-10 V"), ("1", "0~20 mA", "0-20 mA"), ("2", "4~20 mA", "4-20 mA")],
    "range_out16": [
        ("0", "0~5 V", "0-5 V"),
        ("1", "0~10 V", "0-10 V"),
        ("2", "±5 V", "±5 V"),
        ("3", "±10 V", "±10 V"),
        ("4", "0~20 mA", "0-20 mA"),
        ("5", "4~20 mA", "4-20 mA"),
    ],
    "gain": [("0", "±10 V", "±10 V"), ("1", "±5 V", "±5 V"), ("2", "±2.5 V", "±2.5 V"), ("3", "±1.25 V", "±1.25 V")],
    "sampling": [("0", "电压", "Voltage"), ("1", "电流", "Current")],
    "cf_workmode": [("0x0", "计数", "Counting"), ("0x1", "测频", "Frequency")],
    "encoder_enable": [
        ("0", "禁用", "Disabled", {"disable": [
            "SET_ENCODE_RESETMODE_{n}", "SET_ENCODE_COUNTMODE_{n}", "SET_ENCODE_FENDU_{n}",
            "SET_ENCODE_TIMERVALUE_{n}", "SET_ENCODE_MAXCOUNT_{n}", "SET_ENCODE_SPEEDHIGH_{n}",
            "SET_ENCODE_SPEEDLOW_{n}"]}),
        ("1", "启用", "Enabled", {"enable": [
            "SET_ENCODE_RESETMODE_{n}", "SET_ENCODE_COUNTMODE_{n}", "SET_ENCODE_FENDU_{n}",
            "SET_ENCODE_TIMERVALUE_{n}", "SET_ENCODE_MAXCOUNT_{n}", "SET_ENCODE_SPEEDHIGH_{n}",
            "SET_ENCODE_SPEEDLOW_{n}"]}),
    ],
    # CAN bit-rate index as the coupler reports it; an index with its top bit set reads as 255
    # and means the user bit rate.
    "can_baud": [
        ("0", "1000 kbit/s", "1000 kbit/s"),
        ("1", "800 kbit/s", "800 kbit/s"),
        ("2", "500 kbit/s", "500 kbit/s"),
        ("3", "250 kbit/s", "250 kbit/s"),
        ("4", "125 kbit/s", "125 kbit/s"),
        ("5", "100 kbit/s", "100 kbit/s"),
        ("6", "50 kbit/s", "50 kbit/s"),
        ("7", "20 kbit/s", "20 kbit/s"),
        ("8", "10 kbit/s", "10 kbit/s"),
        ("255", "用户波特率", "User bit rate"),
    ],
    "calibrated_type": [
        ("0x3900", "VEXA-3900 8 路输入 12 位", "VEXA-3900 8 inputs 12 bit"),
        ("0x3901", "VEXA-3901 8 路输入 16 位", "VEXA-3901 8 inputs 16 bit"),
        ("0x3902", "VEXA-3902 4 入 2 出 12 位", "VEXA-3902 4 in 2 out 12 bit"),
        ("0x3903", "VEXA-3903 4 入 2 出 16 位", "VEXA-3903 4 in 2 out 16 bit"),
        ("0x3904", "VEXA-3904 8 路输入 12 位", "VEXA-3904 8 inputs 12 bit"),
        ("0x3905", "VEXA-3905 8 路输入 16 位", "VEXA-3905 8 inputs 16 bit"),
        ("0x3906", "VEXA-3906 8 入 2 出 12 位", "VEXA-3906 8 in 2 out 12 bit"),
        ("0x3907", "VEXA-3907 8 入 2 出 16 位", "VEXA-3907 8 in 2 out 16 bit"),
        ("0x3908", "VEXA-3908 16 路输入 12 位", "VEXA-3908 16 inputs 12 bit"),
        ("0x3909", "VEXA-3909 16 路输入 16 位", "VEXA-3909 16 inputs 16 bit"),
        ("0x390a", "VEXA-390A 8 入 2 出 12 位", "VEXA-390A 8 in 2 out 12 bit"),
        ("0x390b", "VEXA-390B 8 入 2 出 16 位", "VEXA-390B 8 in 2 out 16 bit"),
    ],
}


def row(cmd, zh, en, zhc="", enc="", n=0, ro=0, opts=None, edit=None, prop=0, default=None, early=0):
    return {"cmd": cmd, "n": n, "zh": zh, "en": en, "zhc": zhc, "enc": enc, "ro": ro,
            "opts": opts, "edit": edit, "prop": prop, "default": default, "early": early}


def cat(zh, en, zhc, enc, rows):
    return {"zh": zh, "en": en, "zhc": zhc, "enc": enc, "rows": rows}


# ---------------------------------------------------------------- shared categories

IDENTITY = cat("模块信息", "Module identity", "模块自身报告的信息，不可修改", "What the module reports about itself; read-only", [
    row("SLAVER_ADDRESS", "模块地址", "Module address", "模块在耦合器上的地址", "Address of the module on its coupler", ro=1),
    row("SLAVER_MANFT", "厂商代码", "Manufacturer code", ro=1),
    row("SLAVER_TYPE", "型号", "Model", ro=1),
    row("SLAVER_MODE", "模式", "Mode", ro=1),
    row("SLAVER_HARDVER", "硬件版本", "Hardware version", ro=1),
    row("SLAVER_SOFTVER", "软件版本", "Software version", ro=1),
    row("SLAVER_SN", "序列号", "Serial number", ro=1),
])


def din_enable(n):
    return cat("输入使能", "Input enables", "关闭不用的输入通道", "Switch unused input channels off", [
        row("DATA_DIN_ENABLE_", "输入 {n} 使能", "Input {n} enable", n=n, opts="enable"),
    ])


def dout_settings(n):
    return cat("数字输出设置", "Digital output settings", "通信中断时输出的行为和安全值",
               "What the outputs do when communication is lost, and their safe values", [
        row("SET_DOUT_MODE_", "输出 {n} 断线模式", "Output {n} on loss", "通信中断时保持输出或输出安全值",
            "Hold the output or apply its safe value when communication is lost", n=n, opts="dout_mode"),
        row("SET_DOUT_DEFAULT_", "输出 {n} 安全值", "Output {n} safe value", n=n, opts="dout_default"),
    ])


def din_values(n):
    return cat("数字输入", "Digital inputs", "输入状态：1 闭合，0 断开", "Input states: 1 closed, 0 open", [
        row("DATA_DIN_", "输入 {n}", "Input {n}", n=n, ro=1),
    ])


def dout_values(n):
    return cat("数字输出", "Digital outputs", "点击按钮切换输出", "Click the button to switch an output", [
        row("DATA_DOUT_", "输出 {n}", "Output {n}", n=n, edit="state"),
    ])


def counter_values(n):
    return cat("计数值", "Counters", "点击按钮将计数清零", "Click the button to reset a counter", [
        row("DATA_COUNT_", "计数 {n}", "Counter {n}", n=n, ro=1, edit="send"),
    ])


def ain_states(key, n, zhc="量程、数值、原始码和状态", enc="Value in its range, raw code and state"):
    return cat("模拟输入", "Analog inputs", zhc, enc, [
        row(key, "输入 {n}", "Input {n}", n=n, ro=1, edit="textstate"),
    ])


def ain_types(n, opts):
    return cat("模拟输入设置", "Analog input settings", "每个输入通道的量程", "Range of each input channel", [
        row("SET_AIN_TYPE_", "输入 {n} 量程", "Input {n} range", n=n, opts=opts, early=1),
    ])


def temperature_settings(n, extra=()):
    return cat("温度输入设置", "Temperature input settings", "传感器类型和报警上下限（单位 0.1）",
               "Sensor type and alarm limits (in tenths)", [
        row("SET_AIN_TYPE_", "输入 {n} 传感器类型", "Input {n} sensor type", n=n),
        row("SET_AIN_MAX_", "输入 {n} 上限", "Input {n} upper limit", "输入数值，如 100.0", "A number, e.g. 100.0", n=n),
        row("SET_AIN_MIN_", "输入 {n} 下限", "Input {n} lower limit", "输入数值，如 -20.0", "A number, e.g. -20.0", n=n),
        *extra,
    ])


# "1" starts a calibration: the smallest command the module acts on, and one the library takes
# for this key on every module that has it.
def calib_command():
    return cat("校准", "Calibration", "点击按钮启动模块自校准，结果随后显示", "Click the button to start a self-calibration; the result follows", [
        row("SET_CMD_CALIB_W", "启动校准", "Start calibration", "刷新时不读取，发送所示命令值",
            "Not refreshed from the module: the button sends the value shown", ro=2, edit="send", prop=1, default="1"),
        row("SET_CMD_CALIB_R", "校准结果", "Calibration result", "模块报告的校准状态", "Calibration state the module reports",
            ro=1, prop=1),
    ])


def aout_sync(data_trigger=False):
    rows = [row("SET_AOUT_SYNC", "同步输出", "Synchronous output", "1 启用，0 禁用；点击按钮写入模块",
                "1 on, 0 off; click the button to write it to the module", edit="send", prop=1)]
    if data_trigger:
        rows.append(row("DATA_AOUT_SYNC", "同步触发", "Synchronous trigger", "点击按钮发送", "Click the button to send it", edit="send"))
    return cat("同步输出", "Synchronous output", "同步输出的开关", "Switching synchronous output", rows)


# ---------------------------------------------------------------- calibrated family
# (type, analog inputs, converter bits, analog outputs)
CALIBRATED = [
    (0x3900, 8, 12, 0), (0x3901, 8, 16, 0), (0x3902, 4, 12, 2), (0x3903, 4, 16, 2),
    (0x3904, 8, 12, 0), (0x3905, 8, 16, 0), (0x3906, 8, 12, 2), (0x3907, 8, 16, 2),
    (0x3908, 16, 12, 0), (0x3909, 16, 16, 0), (0x390A, 8, 12, 2), (0x390B, 8, 16, 2),
]


def calibrated_entry(type_code, inputs, bits, outputs):
    coefficients = min(inputs, 8)
    page_a = [
        IDENTITY,
        cat("模块类型", "Module type", "模块设定的型号代码", "Type code the module is set to", [
            row("SET_DEV_TYPE", "型号代码", "Type code", ro=1),
        ]),
        cat("输入量程", "Input ranges", "每个输入通道的增益和采样方式", "Gain and measurement of each input channel", [
            row("SET_AI_PLUS", "增益字", "Gain word", "各通道增益的合成值", "All channels' gains in one word", ro=1),
            row("SET_AIN_PLUS_", "输入 {n} 增益", "Input {n} gain", n=inputs, opts="gain", early=1),
            row("SET_AI_SAMPLING_TYPE", "采样方式字", "Measurement word", "各通道采样方式的合成值",
                "All channels' measurement bits in one word", ro=1),
            row("SET_AIN_TYPE_", "输入 {n} 采样方式", "Input {n} measures", n=inputs, opts="sampling", early=1),
        ]),
        cat("输入校准", "Input calibration", "校准系数：数值 = a × 原始码 + b", "Coefficients: value = a × code + b", [
            row("SET_AI_ADJUST_VALID", "校准有效位", "Calibration valid bits",
                "位 0~7 输入，位 8~9 输出", "Bits 0-7 inputs, bits 8-9 outputs"),
            row("SET_AIN_a_CALIB_", "输入 {n} 系数 a", "Input {n} coefficient a", n=coefficients),
            row("SET_AIN_b_CALIB_", "输入 {n} 系数 b", "Input {n} coefficient b", n=coefficients),
            row("SET_AI_ADJUST_DATE", "校准日期", "Calibration date", "格式 yy-mm-dd", "Format yy-mm-dd"),
            row("SET_TESTVALUE_1", "测试值 1", "Test value 1", ro=1),
            row("SET_TESTVALUE_2", "测试值 2", "Test value 2", ro=1),
        ]),
    ]
    page_b = [cat("模拟输入", "Analog inputs", "校准后的数值和原始码", "Calibrated value and raw code", [
        row("DATA_AIN_", "输入 {n}", "Input {n}", n=inputs, ro=1),
    ]), calib_command()]
    if outputs:
        page_a.append(cat("输出校准", "Output calibration", "输出安全值和校准系数", "Output safe values and coefficients", [
            row("SET_DOUT_DEFAULT_", "输出 {n} 安全值", "Output {n} safe value", "输入电压值", "A voltage", n=outputs),
            row("SET_AOUT_a_CALIB_", "输出 {n} 系数 a", "Output {n} coefficient a", n=outputs),
            row("SET_AOUT_b_CALIB_", "输出 {n} 系数 b", "Output {n} coefficient b", n=outputs),
        ]))
        page_b.append(cat("模拟输出", "Analog outputs", "输入电压值后点击按钮发送", "Type a voltage, then click the button to send it", [
            row("DATA_AOUT_", "输出 {n}", "Output {n}", n=outputs, edit="send"),
        ]))
    return {"type": type_code, "hardver": 0,
            "zh": f"{inputs} 路校准模拟输入{f'、{outputs} 路输出' if outputs else ''}（{bits} 位）",
            "en": f"{inputs} calibrated analog inputs{f', {outputs} outputs' if outputs else ''} ({bits} bit)",
            "a": page_a, "b": page_b}


BOOT_LOADER = {"zh": "引导程序中的模块（可升级固件）", "en": "Module in its boot loader (firmware upgrade)",
               "a": [IDENTITY], "b": []}

# ---------------------------------------------------------------- every type

TYPES = [
    {"type": 0x9020, "hardver": 0, "coupler": True, "zh": "USB 耦合器", "en": "USB coupler", "a": [
        cat("耦合器信息", "Coupler identity", "耦合器自身报告的信息，不可修改", "What the coupler reports about itself; read-only", [
            row("MAIN_MANFT", "厂商代码", "Manufacturer code", ro=1),
            row("MAIN_TYPE", "型号", "Model", ro=1),
            row("MAIN_MODE", "模式", "Mode", ro=1),
            row("MAIN_HARDVER", "硬件版本", "Hardware version", ro=1),
            row("MAIN_SOFTVER", "软件版本", "Software version", ro=1),
            row("MAIN_SNCODE", "序列号", "Serial number", ro=1),
        ]),
        cat("CANopen 设置", "CANopen settings", "耦合器在 CANopen 总线上的节点地址和波特率",
            "Node address and bit rate of the coupler on the CANopen bus", [
            row("MAIN_CANOPEN_ADDR", "节点地址", "Node address", "1~127", "1-127"),
            row("MAIN_CANBAUD_INDEX", "波特率", "Bit rate", "经 USB 只能读取", "Read-only over USB", ro=1, opts="can_baud"),
            row("MAIN_USER_CANBAUD", "用户波特率", "User bit rate", "单位 bit/s", "In bit/s"),
        ]),
    ]},
    # The Ethernet coupler reports type 9 on its wire; it is sold as VEXA-9000.
    {"type": 0x0009, "hardver": 0, "coupler": True, "zh": "以太网耦合器", "en": "Ethernet coupler", "a": [
        cat("耦合器信息", "Coupler identity", "耦合器自身报告的信息，不可修改", "What the coupler reports about itself; read-only", [
            row("MAIN_MAC", "MAC 地址", "MAC address", ro=1),
            row("MAIN_TYPE", "型号", "Model", ro=1),
            row("MAIN_MODE", "模式", "Mode", ro=1),
            row("MAIN_HARDVER", "硬件版本", "Hardware version", ro=1),
            row("MAIN_SOFT_1_VER", "程序 1 版本", "Program 1 version", ro=1),
            row("MAIN_SOFT_2_VER", "程序 2 版本", "Program 2 version", ro=1),
        ]),
        cat("名称与密码", "Name and password", "修改后须用新密码登录", "Log in with the new password after changing it", [
            row("MAIN_NAME", "模块名称", "Module name", "最多 16 个字符", "Up to 16 characters"),
            row("MAIN_PASS", "登录密码", "Login password", "最多 16 个字符", "Up to 16 characters"),
        ]),
        cat("网络设置", "Network settings", "重启耦合器后生效", "Take effect when the coupler restarts", [
            row("MAIN_IP", "IP 地址", "IP address"),
            row("MAIN_MASK", "子网掩码", "Subnet mask"),
            row("MAIN_GATE", "网关", "Gateway"),
            row("MAIN_DNS", "DNS 服务器", "DNS server"),
        ]),
    ]},
    {"type": 0x9010, "hardver": 0, "coupler": True, "zh": "RS-485 耦合器", "en": "RS-485 coupler", "a": [
        cat("耦合器信息", "Coupler identity", "耦合器自身报告的信息，不可修改", "What the coupler reports about itself; read-only", [
            row("MAIN_MANFT", "厂商代码", "Manufacturer code", ro=1),
            row("MAIN_TYPE", "型号", "Model", ro=1),
            row("MAIN_MODE", "模式", "Mode", ro=1),
            row("MAIN_HARDVER", "硬件版本", "Hardware version", ro=1),
            row("MAIN_SOFTVER", "软件版本", "Software version", ro=1),
            row("MAIN_SNCODE", "序列号", "Serial number", ro=1),
        ]),
        cat("名称与密码", "Name and password", "修改后须用新密码登录", "Log in with the new password after changing it", [
            row("MAIN_NAME", "模块名称", "Module name", "最多 16 个字符", "Up to 16 characters"),
            row("MAIN_PASS", "登录密码", "Login password", "最多 16 个字符", "Up to 16 characters"),
        ]),
        cat("Modbus 设置", "Modbus settings", "耦合器作为 Modbus 从站的设置", "The coupler as a Modbus station", [
            row("MAIN_MAX_SLAVER", "子模块数", "Sub modules"),
            row("MAIN_MODBUS_OP", "Modbus 选项", "Modbus option"),
            row("MAIN_BYTE_TO", "字节超时", "Byte time-out", "单位 ms", "In ms"),
        ]),
        cat("串口设置", "Line settings", "重启耦合器后生效", "Take effect when the coupler restarts", [
            row("MAIN_BAUD", "波特率代码", "Baud rate code"),
            row("MAIN_DATA_B", "数据位", "Data bits"),
            row("MAIN_STOP_B", "停止位", "Stop bits"),
            row("MAIN_PARITY", "校验代码", "Parity code"),
        ]),
    ]},
    {"type": 0x1804, "hardver": 0, "zh": "12 路数字输入/计数", "en": "12 digital inputs with counters",
     "a": [IDENTITY, din_enable(12)], "b": [din_values(12), counter_values(12)]},
    {"type": 0x2808, "hardver": 0, "zh": "8 路数字输出", "en": "8 digital outputs",
     "a": [IDENTITY, dout_settings(8)], "b": [dout_values(8)]},
    {"type": 0x4055, "hardver": 0, "zh": "8 路数字输入/计数、8 路数字输出", "en": "8 digital inputs with counters, 8 digital outputs",
     "a": [IDENTITY, din_enable(8), dout_settings(8)], "b": [din_values(8), counter_values(8), dout_values(8)]},
    {"type": 0x3402, "hardver": 0, "zh": "混合模块 2 DI、2 DO、8 AI、2 AO", "en": "Mixed module 2 DI, 2 DO, 8 AI, 2 AO", "a": [
        IDENTITY,
        dout_settings(2),
        cat("模拟输入设置", "Analog input settings", "每个输入通道的量程", "Range of each input channel", [
            row("SET_AIN_TYPE_", "输入 {n} 量程", "Input {n} range", n=8, opts="range_mixed_in", early=1),
            row("SET_AIN_LINK", "输入联动", "Input link"),
        ]),
        cat("模拟输出设置", "Analog output settings", "输出类型和安全值", "Output type and safe value", [
            row("SET_AOUT_TYPE_", "输出 {n} 类型", "Output {n} type", n=2, opts="range_out12", early=1),
            row("SET_AOUT_DEFAULT_", "输出 {n} 安全值", "Output {n} safe value", "输入电压或电流值", "A voltage or current", n=2),
        ]),
        cat("输出校验", "Output check", "最近一次模拟输出校验的日期", "Date of the last analog-output check", [
            row("SET_CHECK_DATA", "校验日期", "Check date", ro=1),
        ]),
    ], "b": [
        din_values(2),
        dout_values(2),
        ain_states("DATA_AIN_REGION_", 8),
        cat("模拟输出", "Analog outputs", "输入数值后点击按钮发送", "Type a value, then click the button to send it", [
            row("DATA_AOUT_VOLTAGE_", "输出 {n} 电压", "Output {n} voltage", n=2, edit="send"),
            row("DATA_AOUT_ELECTRIC_", "输出 {n} 电流", "Output {n} current", n=2, edit="send"),
        ]),
        cat("输出校验", "Output check", "点击按钮启动模拟输出校验", "Click the button to check the analog outputs", [
            row("DATA_AOUT_CHECK_SEND", "启动校验", "Start check", "刷新时不读取，发送所示命令值",
                "Not refreshed from the module: the button sends the value shown", ro=2, edit="send", default="1"),
            row("DATA_AOUT_CHECK_READ", "校验结果", "Check result", "1 表示完成", "1 when done", ro=1),
        ]),
    ]},
    {"type": 0x3412, "hardver": 0, "zh": "混合模块 2 DI、4 DO、4 AI（mV）、1 AO", "en": "Mixed module 2 DI, 4 DO, 4 AI (mV), 1 AO", "a": [
        IDENTITY,
        cat("数字输入设置", "Digital input settings", "输入模式和事件控制", "Input modes and event control", [
            row("SET_DIN_MODE_", "输入 {n} 模式", "Input {n} mode", n=2, opts="bit_mode"),
            row("SET_DIN_EVENT_CTL_", "事件控制 {n}", "Event control {n}", n=1),
        ]),
        cat("模拟输入设置", "Analog input settings", "量程和报警上下限（按量程单位输入数值）",
            "Ranges and alarm limits (a number in the range's unit)", [
            row("SET_AIN_TYPE_", "输入 {n} 量程", "Input {n} range", n=4, opts="range_millivolt", early=1),
            row("SET_AIN_MAX_", "输入 {n} 上限", "Input {n} upper limit", n=4),
            row("SET_AIN_MIN_", "输入 {n} 下限", "Input {n} lower limit", n=4),
        ]),
        dout_settings(4),
        cat("模拟输出设置", "Analog output settings", "输出类型", "Output type", [
            row("SET_AOUT_TYPE_", "输出 {n} 类型", "Output {n} type", n=1, opts="range_out12", early=1),
        ]),
    ], "b": [
        din_values(2),
        cat("事件计数", "Event counter", "输入 0 后点击按钮发送以清零", "Type 0 and click the button to reset", [
            row("DATA_DIN_EVENT_COUNT_", "事件计数 {n}", "Event count {n}", n=1, edit="send"),
        ]),
        ain_states("DATA_AIN_", 4),
        dout_values(4),
        cat("模拟输出", "Analog outputs", "输入数值后点击按钮发送", "Type a value, then click the button to send it", [
            row("DATA_AOUT_VOLTAGE_", "输出 {n} 电压", "Output {n} voltage", n=1, edit="send"),
            row("DATA_AOUT_ELECTRIC_", "输出 {n} 电流", "Output {n} current", n=1, edit="send"),
        ]),
    ]},
    {"type": 0x3800, "hardver": 0, "zh": "8 路模拟输入（12 位）", "en": "8 analog inputs (12 bit)",
     "a": [IDENTITY, ain_types(8, "range_offset12")], "b": [ain_states("DATA_AIN_", 8)]},
    {"type": 0x3800, "hardver": 0x150, "zh": "8 路模拟输入（带校准）", "en": "8 analog inputs (with calibration)", "a": [
        IDENTITY,
        ain_types(8, "range_signmag"),
        cat("校准数据", "Calibration data", "模块自校准得到的系数", "Coefficients the module's self-calibration found", [
            row("SET_AI_ADJUST_VALID", "校准有效位", "Calibration valid bits"),
            row("SET_ADJUST_V_DATA_", "电压校准 {n}", "Voltage calibration {n}", n=2),
            row("SET_ADJUST_AB_DATA_", "系数 {n}", "Coefficient {n}", n=4),
            row("SET_ADJUST_O_DATA_", "零点 {n}", "Offset {n}", n=2),
        ]),
    ], "b": [
        ain_states("DATA_AIN_", 8),
        # Writing the work mode is what starts the calibration, so it is a command, not a setting.
        cat("校准", "Calibration", "点击按钮写入工作模式启动校准，模块报告各量程的结果",
            "Click the button to write the work mode and start a calibration; the module reports each range's result", [
            row("SET_WORKMODE", "校准工作模式", "Calibration work mode", "刷新时不读取，发送所示工作模式",
                "Not refreshed from the module: the button sends the mode shown", ro=2, edit="send", prop=1, default="1"),
            row("SET_CMD_CALIB_R", "校准结果", "Calibration result", "位 15 完成，位 0~9 各项成功",
                "Bit 15 done, bits 0-9 each step succeeded", ro=1, prop=1),
        ]),
    ]},
    {"type": 0x4017, "hardver": 0, "zh": "8 路模拟输入（16 位）", "en": "8 analog inputs (16 bit)",
     "a": [IDENTITY, ain_types(8, "range_bipolar")], "b": [ain_states("DATA_AIN_", 8)]},
    {"type": 0x4017, "hardver": 0x120, "zh": "8 路模拟输入（16 位，带校准）", "en": "8 analog inputs (16 bit, with calibration)", "a": [
        IDENTITY,
        ain_types(8, "range_bipolar"),
        cat("采样", "Sampling", "采样速率", "Sampling rate", [
            row("SET_AI_SAMPLING_SPEED", "采样速率", "Sampling rate"),
        ]),
    ], "b": [ain_states("DATA_AIN_", 8), calib_command()]},
    {"type": 0x9308, "hardver": 0, "zh": "8 路模拟输入（16 位）", "en": "8 analog inputs (16 bit)",
     "a": [IDENTITY, ain_types(8, "range_bipolar")], "b": [ain_states("DATA_AIN_", 8)]},
    {"type": 0x4400, "hardver": 0, "zh": "4 路模拟输出", "en": "4 analog outputs", "a": [
        IDENTITY,
        cat("模拟输出设置", "Analog output settings", "输出类型、安全值（原始码）和同步输出",
            "Output types, safe values (raw codes) and synchronous output", [
            row("SET_AOUT_TYPE_", "输出 {n} 类型", "Output {n} type", n=4, early=1),
            row("SET_AOUT_DEFAULT_", "输出 {n} 安全值", "Output {n} safe value", "十六进制原始码", "Raw code in hex", n=4),
        ]),
    ], "b": [
        cat("模拟输出", "Analog outputs", "输入十六进制原始码后点击按钮发送", "Type a raw code in hex, then click the button to send it", [
            row("DATA_AOUT_", "输出 {n}", "Output {n}", n=4, edit="send"),
        ]),
        aout_sync(data_trigger=True),
        cat("输出回读", "Output read-back", "模块实际输出的原始码", "Raw codes the module puts out", [
            row("DATA_OUTSHOW_", "输出 {n} 回读", "Output {n} read-back", n=4, ro=1),
        ]),
    ]},
]

# The 16-bit output module of the later generation, under both type codes it is found with.
for _type, _hardver in ((0x4400, 0x110), (0x4410, 0)):
    TYPES.append({"type": _type, "hardver": _hardver, "zh": "4 路模拟输出（16 位）", "en": "4 analog outputs (16 bit)", "a": [
        IDENTITY,
        cat("模拟输出设置", "Analog output settings", "每个通道的量程、安全值和使能", "Range, safe value and enable of each channel", [
            row("SET_AOUT_TYPE", "输出类型", "Output type", early=1),
            row("SET_RANGE_", "输出 {n} 量程", "Output {n} range", n=4, opts="range_out16", early=1),
            row("SET_AOUT_DEFAULT_", "输出 {n} 安全值", "Output {n} safe value", "输入电压或电流值", "A voltage or current", n=4),
            row("SET_CHANNEL_USE_", "输出 {n} 使能", "Output {n} enable", n=4, opts="enable"),
        ]),
    ], "b": [
        cat("模拟输出", "Analog outputs", "输入数值后点击按钮发送", "Type a value, then click the button to send it", [
            row("DATA_AOUT_", "输出 {n}", "Output {n}", n=4, edit="send"),
        ]),
        aout_sync(),
    ]})

TYPES += [
    {"type": 0x5508, "hardver": 0, "zh": "5 路温度输入、8 路数字输出", "en": "5 temperature inputs, 8 digital outputs", "a": [
        IDENTITY,
        temperature_settings(5, [row("SET_AIN_CHECK", "输入检测", "Input check")]),
        dout_settings(8),
    ], "b": [ain_states("DATA_AIN_", 5, "温度（0.1 单位）、原始码和状态", "Temperature (tenths), raw code and state"), dout_values(8)]},
    {"type": 0x6608, "hardver": 0, "zh": "6 路温度输入、8 路数字输出", "en": "6 temperature inputs, 8 digital outputs", "a": [
        IDENTITY,
        temperature_settings(6, [row("SET_AIN_OFFSET", "温度偏移", "Temperature offset", "输入数值，如 0.5", "A number, e.g. 0.5")]),
        dout_settings(8),
    ], "b": [ain_states("DATA_AIN_", 6, "温度（0.1 单位）、原始码和状态", "Temperature (tenths), raw code and state"), dout_values(8)]},
    {"type": 0x9606, "hardver": 0, "zh": "6 路温度输入、8 路数字输出", "en": "6 temperature inputs, 8 digital outputs", "a": [
        IDENTITY,
        temperature_settings(6),
        dout_settings(8),
    ], "b": [ain_states("DATA_AIN_", 6, "温度（0.1 单位）、原始码和状态", "Temperature (tenths), raw code and state"), dout_values(8)]},
    {"type": 0x7204, "hardver": 0, "zh": "2 路频率计数、4 路数字输出", "en": "2 frequency counters, 4 digital outputs", "a": [
        IDENTITY,
        cat("计数设置", "Counter settings", "预置值、上下限、模式、滤波和闸门时间", "Preset, limits, mode, filter and gate time", [
            row("SET_COUNT_", "计数 {n} 预置值", "Counter {n} preset", n=2),
            row("SET_COUNT_MAX_", "计数 {n} 上限", "Counter {n} upper limit", n=2),
            row("SET_COUNT_MIN_", "计数 {n} 下限", "Counter {n} lower limit", n=2),
            row("SET_MODE_REG_", "计数 {n} 模式字", "Counter {n} mode word", "十六进制", "Hexadecimal", n=2),
            row("SET_FILTER_", "计数 {n} 滤波", "Counter {n} filter", "十六进制", "Hexadecimal", n=2),
            row("SET_FREQTIME_", "计数 {n} 闸门时间", "Counter {n} gate time", "十六进制，单位 ms", "Hexadecimal, in ms", n=2),
        ]),
        cat("输入电平", "Input levels", "输入的高低电平门限（V）", "High and low input thresholds (V)", [
            row("SET_HIGH_VOL", "高电平门限", "High threshold"),
            row("SET_LOW_VOL", "低电平门限", "Low threshold"),
        ]),
        dout_settings(4),
    ], "b": [counter_values(2), dout_values(4)]},
    {"type": 0x7404, "hardver": 0, "zh": "4 路计数/测频、2 路编码器", "en": "4 counter/frequency channels, 2 encoders", "a": [
        IDENTITY,
        cat("计数通道设置", "Counter channel settings", "每个计数通道的工作方式", "How each counter channel works", [
            row("SET_CF_WORKMODE_", "通道 {n} 工作方式", "Channel {n} mode", n=4, opts="cf_workmode", early=1),
            row("SET_CF_GATEMODE_", "通道 {n} 闸门方式", "Channel {n} gate mode", "十六进制", "Hexadecimal", n=4),
            row("SET_CF_RESETENABLE_", "通道 {n} 复位使能", "Channel {n} reset enable", n=4, opts="enable"),
            row("SET_CF_DIRECTION_", "通道 {n} 计数方向", "Channel {n} direction", n=4, opts="direction"),
            row("SET_FILTER_", "通道 {n} 滤波", "Channel {n} filter", "十六进制", "Hexadecimal", n=4),
            row("SET_CF_CHLLOAD0_", "通道 {n} 预置值 0", "Channel {n} preset 0", n=4),
            row("SET_CF_CHLLOAD1_", "通道 {n} 预置值 1", "Channel {n} preset 1", n=4),
        ]),
        cat("输入电平", "Input levels", "输入的高低电平门限", "High and low input thresholds", [
            row("SET_CF_HIGH_VOL_", "高电平门限 {n}", "High threshold {n}", n=2),
            row("SET_CF_LOW_VOL_", "低电平门限 {n}", "Low threshold {n}", n=2),
        ]),
        cat("编码器设置", "Encoder settings", "禁用的编码器其设置不可修改", "Settings of a disabled encoder cannot be changed", [
            row("SET_ENCODE_ENABLE_", "编码器 {n} 使能", "Encoder {n} enable", n=2, opts="encoder_enable"),
            row("SET_ENCODE_RESETMODE_", "编码器 {n} 复位方式", "Encoder {n} reset mode", n=2),
            row("SET_ENCODE_COUNTMODE_", "编码器 {n} 计数方式", "Encoder {n} count mode", n=2),
            row("SET_ENCODE_FENDU_", "编码器 {n} 每转脉冲数", "Encoder {n} pulses per revolution", n=2),
            row("SET_ENCODE_TIMERVALUE_", "编码器 {n} 采样窗口", "Encoder {n} sampling window", "单位 us", "In us", n=2),
            row("SET_ENCODE_MAXCOUNT_", "编码器 {n} 最大计数", "Encoder {n} maximum count", n=2),
            row("SET_ENCODE_SPEEDHIGH_", "编码器 {n} 转速上限", "Encoder {n} speed upper limit", "单位 rpm", "In rpm", n=2),
            row("SET_ENCODE_SPEEDLOW_", "编码器 {n} 转速下限", "Encoder {n} speed lower limit", "单位 rpm", "In rpm", n=2),
        ]),
    ], "b": [
        din_values(4),
        dout_values(4),
        cat("计数与编码器", "Counters and encoders", "通道 0~3 为计数通道，4~5 为编码器", "Channels 0-3 are counters, 4-5 the encoders", [
            row("DATA_COUNT_ENCODE_CAIYANG_", "通道 {n} 采样值", "Channel {n} sampled value", n=6, ro=1),
            row("DATA_COUNT_ENCODE_BUHUO_", "通道 {n} 捕获值", "Channel {n} captured value", n=6, ro=1),
        ]),
        cat("计数清零", "Counter clear", "点击按钮将计数通道清零", "Click the button to clear a counter channel", [
            row("SET_CF_EMPTY_", "通道 {n} 清零", "Clear channel {n}", n=4, ro=1, edit="send", prop=1),
        ]),
    ]},
    {"type": 0x9108, "hardver": 0, "zh": "8 路数字输入、8 路数字输出", "en": "8 digital inputs, 8 digital outputs",
     "a": [IDENTITY, dout_settings(8)], "b": [din_values(8), dout_values(8)]},
]

TYPES += [calibrated_entry(*c) for c in CALIBRATED]

TYPES += [
    {"type": 0x39FF, "hardver": 0, "zh": "未设定型号的校准模块", "en": "Calibrated module without a type", "a": [
        IDENTITY,
        cat("模块类型", "Module type", "选择模块的型号后提交", "Choose the module's type and submit", [
            row("SET_DEV_TYPE", "型号代码", "Type code", opts="calibrated_type"),
        ]),
    ], "b": []},
    # Older firmware reports the boot loader's 9999 as 0x270F.
    {"type": 0x9999, "hardver": 0, **BOOT_LOADER},
    {"type": 0x270F, "hardver": 0, **BOOT_LOADER},
]
