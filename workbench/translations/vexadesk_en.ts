<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>vexadesk::CDlgLogin</name>
    <message>
        <source>密码错误</source>
        <translation>Wrong password</translation>
    </message>
    <message>
        <source>登录通信模块</source>
        <translation>Log in to coupler</translation>
    </message>
    <message>
        <source>模块名称</source>
        <translation>Module name</translation>
    </message>
    <message>
        <source>模块地址</source>
        <translation>Module address</translation>
    </message>
    <message>
        <source>密码</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>默认</source>
        <translation>Default: </translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>vexadesk::CDlgSetColor</name>
    <message>
        <source>启用</source>
        <translation>On</translation>
    </message>
    <message>
        <source>不启用</source>
        <translation>Off</translation>
    </message>
    <message>
        <source>颜色</source>
        <translation>Colours</translation>
    </message>
    <message>
        <source>色彩1</source>
        <translation>Colour 1</translation>
    </message>
    <message>
        <source>色彩2</source>
        <translation>Colour 2</translation>
    </message>
    <message>
        <source>属性页对应两种颜色，此两种颜色交叉显示</source>
        <translation>Property pages use two colours, alternating between categories</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>颜色设置无法保存</source>
        <translation>The colour settings cannot be saved</translation>
    </message>
</context>
<context>
    <name>vexadesk::CDlgUsbSearch</name>
    <message>
        <source>搜索以太网模块</source>
        <translation>Search Ethernet modules</translation>
    </message>
    <message>
        <source>搜索RS-485模块</source>
        <translation>Search RS-485 modules</translation>
    </message>
    <message>
        <source>搜索USB模块</source>
        <translation>Search USB modules</translation>
    </message>
    <message>
        <source>序号</source>
        <translation>No.</translation>
    </message>
    <message>
        <source>名称路径</source>
        <translation>Name / path</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>USB 连接错误,不能搜索子模块</source>
        <translation>USB connection error, cannot search the sub modules</translation>
    </message>
</context>
<context>
    <name>vexadesk::CUsbDownDlg</name>
    <message>
        <source>从站配置下载</source>
        <translation>Slave configuration download</translation>
    </message>
    <message>
        <source>输入通道</source>
        <translation>Input channels</translation>
    </message>
    <message>
        <source>输出通道</source>
        <translation>Output channels</translation>
    </message>
    <message>
        <source>添加输入 &gt;&gt;</source>
        <translation>Add input &gt;&gt;</translation>
    </message>
    <message>
        <source>添加输出 &gt;&gt;</source>
        <translation>Add output &gt;&gt;</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>清空</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>SDO映射</source>
        <translation>SDO mapping</translation>
    </message>
    <message>
        <source>TPDO映射</source>
        <translation>TPDO mapping</translation>
    </message>
    <message>
        <source>RPDO映射</source>
        <translation>RPDO mapping</translation>
    </message>
    <message>
        <source>对象</source>
        <translation>Object</translation>
    </message>
    <message>
        <source>说明</source>
        <translation>Description</translation>
    </message>
    <message>
        <source>偏移</source>
        <translation>Offset</translation>
    </message>
    <message>
        <source>PDO</source>
        <translation>PDO</translation>
    </message>
    <message>
        <source>ID</source>
        <translation>ID</translation>
    </message>
    <message>
        <source>寄存器</source>
        <translation>Register</translation>
    </message>
    <message>
        <source>长度</source>
        <translation>Length</translation>
    </message>
    <message>
        <source>下载SDOPDO</source>
        <translation>Download SDO/PDO</translation>
    </message>
    <message>
        <source>下载IO配置</source>
        <translation>Download I/O configuration</translation>
    </message>
    <message>
        <source>读取映射</source>
        <translation>Read mapping</translation>
    </message>
    <message>
        <source>下载映射</source>
        <translation>Download mapping</translation>
    </message>
    <message>
        <source>导出</source>
        <translation>Export</translation>
    </message>
    <message>
        <source>导入</source>
        <translation>Import</translation>
    </message>
    <message>
        <source>生成EDS…</source>
        <translation>Generate EDS…</translation>
    </message>
    <message>
        <source>保存PDO映射文件</source>
        <translation>Save PDO mapping file</translation>
    </message>
    <message>
        <source>加载PDO映射文件</source>
        <translation>Load PDO mapping file</translation>
    </message>
    <message>
        <source>XML Files(*.xml)</source>
        <translation>XML Files(*.xml)</translation>
    </message>
    <message>
        <source>保存EDS文件</source>
        <translation>Save EDS file</translation>
    </message>
    <message>
        <source>EDS Files(*.eds)</source>
        <translation>EDS Files(*.eds)</translation>
    </message>
    <message>
        <source>CANopen节点地址: %1</source>
        <translation>CANopen node address: %1</translation>
    </message>
    <message>
        <source>TPDO(输入资源配置)</source>
        <translation>TPDO (input resources)</translation>
    </message>
    <message>
        <source>RPDO(输出资源配置)</source>
        <translation>RPDO (output resources)</translation>
    </message>
    <message>
        <source>获取信息出错</source>
        <translation>Failed to read the mapping</translation>
    </message>
    <message>
        <source>下载SDO出错 err=%1</source>
        <translation>SDO download failed err=%1</translation>
    </message>
    <message>
        <source>下载IO出错 err=%1</source>
        <translation>I/O download failed err=%1</translation>
    </message>
    <message>
        <source>保存文件失败</source>
        <translation>Failed to save the file</translation>
    </message>
    <message>
        <source>读取文件失败</source>
        <translation>Failed to read the file</translation>
    </message>
    <message>
        <source>无效的配置文件</source>
        <translation>Invalid configuration file</translation>
    </message>
    <message>
        <source>以下映射条目无效,已丢弃:</source>
        <translation>These mapping entries are invalid and were dropped:</translation>
    </message>
    <message>
        <source>%1 第%2条 (ID:%3 Reg:0x%4 偏移:%5 长度:%6): %7</source>
        <translation>%1 entry %2 (ID:%3 Reg:0x%4 offset:%5 length:%6): %7</translation>
    </message>
    <message>
        <source>%1 PDOMap 第%2个: %3</source>
        <translation>%1 PDOMap element %2: %3</translation>
    </message>
    <message>
        <source>找不到EDS模板文件: %1</source>
        <translation>EDS template not found: %1</translation>
    </message>
    <message>
        <source>复制EDS模板失败: %1</source>
        <translation>Could not copy the EDS template to %1</translation>
    </message>
    <message>
        <source>写入EDS文件失败: %1</source>
        <translation>Could not write the EDS file %1</translation>
    </message>
    <message>
        <source>没有通道映射</source>
        <translation>No channel selected for mapping</translation>
    </message>
    <message>
        <source>超出可映射内存</source>
        <translation>Beyond the mappable memory</translation>
    </message>
    <message>
        <source>该偏移无足够内存映射</source>
        <translation>Not enough free memory at this offset</translation>
    </message>
    <message>
        <source>请在树控件中正确选择需要添加到的PDO根节点</source>
        <translation>Select the PDO node to add to in the tree</translation>
    </message>
    <message>
        <source>超过PDO 8字节 映射,请映射到其它PDO</source>
        <translation>More than 8 bytes in the PDO; map to another PDO</translation>
    </message>
    <message>
        <source>PDO 根节点不能删除</source>
        <translation>A PDO node cannot be deleted</translation>
    </message>
    <message>
        <source>根节点不能删除</source>
        <translation>A root node cannot be deleted</translation>
    </message>
    <message>
        <source>选择一个映射通道</source>
        <translation>Select a mapped channel</translation>
    </message>
    <message>
        <source>映射长度无效</source>
        <translation>Invalid mapping length</translation>
    </message>
    <message>
        <source>该通道已映射</source>
        <translation>The channel is mapped already</translation>
    </message>
</context>
<context>
    <name>vexadesk::CDlgWorkSpace</name>
    <message>
        <source>数值</source>
        <translation>Values</translation>
    </message>
    <message>
        <source>趋势</source>
        <translation>Trend</translation>
    </message>
    <message>
        <source>等待模块 %v/%m</source>
        <translation>Waiting for the module %v/%m</translation>
    </message>
    <message>
        <source>上一个操作尚未完成，请稍候</source>
        <translation>The previous operation has not finished yet; please wait</translation>
    </message>
    <message>
        <source>校准失败</source>
        <translation>Calibration failed</translation>
    </message>
    <message>
        <source>校准成功</source>
        <translation>Calibration succeeded</translation>
    </message>
    <message>
        <source>成功</source>
        <translation>succeeded</translation>
    </message>
    <message>
        <source>不成功</source>
        <translation>failed</translation>
    </message>
    <message>
        <source>校准完成
</source>
        <translation>Calibration finished
</translation>
    </message>
    <message>
        <source>10V量程校准    %1
</source>
        <translation>10 V range calibration    %1
</translation>
    </message>
    <message>
        <source>5V量程校准     %1
</source>
        <translation>5 V range calibration     %1
</translation>
    </message>
    <message>
        <source>采样电阻%1校准  %2
</source>
        <translation>Sampling resistor %1 calibration  %2
</translation>
    </message>
    <message>
        <source>未登录</source>
        <translation>Not logged in</translation>
    </message>
    <message>
        <source>刷新</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>提交</source>
        <translation>Submit</translation>
    </message>
    <message>
        <source>发送</source>
        <translation>Send</translation>
    </message>
    <message>
        <source>重启采集模块</source>
        <translation>Reboot sub module</translation>
    </message>
    <message>
        <source>动态刷新</source>
        <translation>Live refresh</translation>
    </message>
    <message>
        <source>模块</source>
        <translation>Module</translation>
    </message>
    <message>
        <source>地址</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>状态</source>
        <translation>State</translation>
    </message>
    <message>
        <source>采集模块ID</source>
        <translation>Sub module ID</translation>
    </message>
    <message>
        <source>配置信息区</source>
        <translation>Configuration</translation>
    </message>
    <message>
        <source>数据采集区</source>
        <translation>Data</translation>
    </message>
    <message>
        <source>注意：要使配置生效在配置完成后需要提交</source>
        <translation>Note: changes take effect only after they are submitted</translation>
    </message>
</context>
<context>
    <name>vexadesk::CMainFrame</name>
    <message>
        <source>备份与恢复(&amp;B)</source>
        <translation>&amp;Backup and restore</translation>
    </message>
    <message>
        <source>就绪</source>
        <translation>Ready</translation>
    </message>
    <message>
        <source>空闲</source>
        <translation>Idle</translation>
    </message>
    <message>
        <source>通信中…</source>
        <translation>Communicating…</translation>
    </message>
    <message>
        <source>模块(&amp;M)</source>
        <translation>&amp;Module</translation>
    </message>
    <message>
        <source>搜索模块(&amp;F)</source>
        <translation>&amp;Search modules</translation>
    </message>
    <message>
        <source>定向搜索(&amp;T)</source>
        <translation>&amp;Targeted search</translation>
    </message>
    <message>
        <source>获取信息(&amp;I)</source>
        <translation>Get &amp;information</translation>
    </message>
    <message>
        <source>清除模块列表(&amp;C)</source>
        <translation>&amp;Clear module list</translation>
    </message>
    <message>
        <source>登录模块(&amp;L)</source>
        <translation>&amp;Log in</translation>
    </message>
    <message>
        <source>重启模块(&amp;R)</source>
        <translation>&amp;Reboot module</translation>
    </message>
    <message>
        <source>退出(&amp;X)</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>配置(&amp;C)</source>
        <translation>&amp;Configuration</translation>
    </message>
    <message>
        <source>下载配置(&amp;D)</source>
        <translation>&amp;Download configuration</translation>
    </message>
    <message>
        <source>USB主站下载IO配置(&amp;O)</source>
        <translation>USB master: download I/&amp;O configuration</translation>
    </message>
    <message>
        <source>升级(&amp;U)</source>
        <translation>&amp;Upgrade</translation>
    </message>
    <message>
        <source>通信模块固件升级(&amp;U)</source>
        <translation>&amp;Upgrade coupler firmware</translation>
    </message>
    <message>
        <source>采集模块固件升级(&amp;S)</source>
        <translation>Upgrade &amp;sub-module firmware</translation>
    </message>
    <message>
        <source>视图(&amp;V)</source>
        <translation>&amp;View</translation>
    </message>
    <message>
        <source>设备栏(&amp;P)</source>
        <translation>Device &amp;pane</translation>
    </message>
    <message>
        <source>颜色设置(&amp;O)</source>
        <translation>C&amp;olours</translation>
    </message>
    <message>
        <source>语言(&amp;L)</source>
        <translation>&amp;Language</translation>
    </message>
    <message>
        <source>语言将在下次启动时生效</source>
        <translation>The language changes at the next start</translation>
    </message>
    <message>
        <source>帮助(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>关于(&amp;A)</source>
        <translation>&amp;About</translation>
    </message>
    <message>
        <source>工具栏</source>
        <translation>Toolbar</translation>
    </message>
    <message>
        <source>未选择模块</source>
        <translation>No module selected</translation>
    </message>
    <message>
        <source>找到 %1 个通信模块</source>
        <translation>%1 coupler(s) found</translation>
    </message>
    <message>
        <source>关于</source>
        <translation>About</translation>
    </message>
</context>
<context>
    <name>vexadesk::CTrendView</name>
    <message>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>%1 分钟</source>
        <translation>%1 min</translation>
    </message>
    <message>
        <source>导出 CSV…</source>
        <translation>Export CSV…</translation>
    </message>
    <message>
        <source>清除</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>未指定导出文件</source>
        <translation>No file given for the export</translation>
    </message>
    <message>
        <source>无法写入 %1：%2</source>
        <translation>Cannot write %1: %2</translation>
    </message>
    <message>
        <source>导出 CSV</source>
        <translation>Export CSV</translation>
    </message>
    <message>
        <source>CSV 文件 (*.csv)</source>
        <translation>CSV files (*.csv)</translation>
    </message>
    <message>
        <source>导出失败</source>
        <translation>Export failed</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>模拟机架无法启动：%1</source>
        <translation>The simulated rack cannot start: %1</translation>
    </message>
    <message>
        <source>无真实模块应答：使用内置模拟机架</source>
        <translation>No real module answers: using the built-in simulated rack</translation>
    </message>
    <message>
        <source>USB（外部模拟总线）</source>
        <translation>USB (external simulated bus)</translation>
    </message>
    <message>
        <source>USB</source>
        <translation>USB</translation>
    </message>
</context>
<context>
    <name>StringId</name>
    <message>
        <source>0xF009</source>
        <translation>Select a module first</translation>
    </message>
    <message>
        <source>0xF00E</source>
        <translation>Get the module information first</translation>
    </message>
    <message>
        <source>0xF00F</source>
        <translation>Nothing was changed</translation>
    </message>
    <message>
        <source>0xF014</source>
        <translation>Not logged in</translation>
    </message>
    <message>
        <source>0xF015</source>
        <translation>Logged in</translation>
    </message>
    <message>
        <source>0xF016</source>
        <translation>Not logged in</translation>
    </message>
    <message>
        <source>0xF018</source>
        <translation>Writing the module configuration failed</translation>
    </message>
    <message>
        <source>0xF01B</source>
        <translation>Reading the module information failed</translation>
    </message>
    <message>
        <source>0xF01C</source>
        <translation>Select a coupler (communication module) first</translation>
    </message>
    <message>
        <source>0xF01D</source>
        <translation>Select a sub module (acquisition module) first</translation>
    </message>
    <message>
        <source>0xF023</source>
        <translation>Configuration written</translation>
    </message>
</context>
<context>
    <name>vexadesk::CDlgUpdateFirme</name>
    <message>
        <source>通信模块升级</source>
        <translation>Coupler firmware upgrade</translation>
    </message>
    <message>
        <source>通信模块类型</source>
        <translation>Coupler type</translation>
    </message>
    <message>
        <source>通信模块地址</source>
        <translation>Coupler address</translation>
    </message>
    <message>
        <source>打开升级文件</source>
        <translation>Upgrade file</translation>
    </message>
    <message>
        <source>打开...</source>
        <translation>Open...</translation>
    </message>
    <message>
        <source>开始升级</source>
        <translation>Start upgrade</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>打开文件失败</source>
        <translation>Cannot open the file</translation>
    </message>
    <message>
        <source>文件大小不对</source>
        <translation>The file size is wrong</translation>
    </message>
    <message>
        <source>bin文件超过flash大小</source>
        <translation>The image is larger than the flash</translation>
    </message>
    <message>
        <source>设置模块进入升级模式.....</source>
        <translation>Switching the module to upgrade mode.....</translation>
    </message>
    <message>
        <source>模块进入升级模式重新登录</source>
        <translation>Module in upgrade mode, logging in again</translation>
    </message>
    <message>
        <source>模块进入升级模式开始下载数据</source>
        <translation>Module in upgrade mode, downloading</translation>
    </message>
    <message>
        <source>升级成功</source>
        <translation>Upgrade succeeded</translation>
    </message>
    <message>
        <source>升级失败</source>
        <translation>Upgrade failed</translation>
    </message>
    <message>
        <source>模块登录出错，无法下载数据</source>
        <translation>Cannot log in to the module, nothing downloaded</translation>
    </message>
    <message>
        <source>模块进入升级模式出错 重试 %1 次</source>
        <translation>Module did not enter upgrade mode, attempt %1</translation>
    </message>
    <message>
        <source>模块无法登录</source>
        <translation>Cannot log in to the module</translation>
    </message>
</context>
<context>
    <name>vexadesk::SubUpgrade</name>
    <message>
        <source>&#x9;程序将对子模块固件进行升级&#xd;&#xa; &#x9;&#x9;&#xd;&#xa;&#x9;升级的子模块类型为: VEXA-%1  &#x9;&#x9;&#xd;&#xa;&#x9;模块ID号为: %2  &#x9;&#x9;&#xd;&#xa;&#x9;确定？</source>
        <translation>&#x9;The firmware of a sub module will be upgraded&#xd;&#xa; &#x9;&#x9;&#xd;&#xa;&#x9;Sub-module type: VEXA-%1  &#x9;&#x9;&#xd;&#xa;&#x9;Module ID: %2  &#x9;&#x9;&#xd;&#xa;&#x9;Continue?</translation>
    </message>
    <message>
        <source>&#x9;将要对模块VEXA-%1 进行固件升级&#x9;&#xd;&#xa;</source>
        <translation>&#x9;The firmware of module VEXA-%1 will be upgraded&#x9;&#xd;&#xa;</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Note</translation>
    </message>
    <message>
        <source>进入升级模式失败</source>
        <translation>The module did not enter upgrade mode</translation>
    </message>
    <message>
        <source>通知VEXA-9020 开始子模块升级 不成功&#xa;</source>
        <translation>Could not tell VEXA-9020 that a sub-module upgrade starts&#xa;</translation>
    </message>
    <message>
        <source>通知VEXA-9020 开始子模块升级 异常响应 &#xa;</source>
        <translation>VEXA-9020 answered wrongly to the start of a sub-module upgrade &#xa;</translation>
    </message>
    <message>
        <source>无法操作 VEXA-9020 无法退出子模块升级&#xa;</source>
        <translation>Cannot open VEXA-9020 to end the sub-module upgrade&#xa;</translation>
    </message>
    <message>
        <source>通知VEXA-9020 子模块升级结束 不成功&#xa;</source>
        <translation>Could not tell VEXA-9020 that the sub-module upgrade ended&#xa;</translation>
    </message>
    <message>
        <source>通知VEXA-9020 子模块升级结束 异常响应 &#xa;</source>
        <translation>VEXA-9020 answered wrongly to the end of the sub-module upgrade &#xa;</translation>
    </message>
</context>
<context>
    <name>CUpdateFirwareDlg</name>
    <message>
        <source>固件升级</source>
        <translation>Firmware upgrade</translation>
    </message>
    <message>
        <source>配置</source>
        <translation>Configure</translation>
    </message>
    <message>
        <source>搜索</source>
        <translation>Search</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>设备信息</source>
        <translation>Devices</translation>
    </message>
    <message>
        <source>选择升级文件</source>
        <translation>Upgrade file</translation>
    </message>
    <message>
        <source>升级</source>
        <translation>Upgrade</translation>
    </message>
    <message>
        <source>打开设备失败</source>
        <translation>Opening the device failed</translation>
    </message>
    <message>
        <source>未找到</source>
        <translation>Not found</translation>
    </message>
    <message>
        <source>需升级设备</source>
        <translation>device to upgrade</translation>
    </message>
    <message>
        <source>索引</source>
        <translation>Index</translation>
    </message>
    <message>
        <source>设备系列</source>
        <translation>Series</translation>
    </message>
    <message>
        <source>设备型号</source>
        <translation>Model</translation>
    </message>
    <message>
        <source>序列号</source>
        <translation>Serial</translation>
    </message>
    <message>
        <source>硬件版本</source>
        <translation>Hardware</translation>
    </message>
    <message>
        <source>固件版本</source>
        <translation>Firmware</translation>
    </message>
</context>
<context>
    <name>CSelectDlg</name>
    <message>
        <source>选择 VEXA 主站模式</source>
        <translation>Choose the VEXA coupler transport</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>vexadesk::CDlgSearchKind</name>
    <message>
        <source>搜索模块</source>
        <translation>Search modules</translation>
    </message>
    <message>
        <source>广播搜索</source>
        <translation>Search by broadcast</translation>
    </message>
    <message>
        <source>按地址搜索</source>
        <translation>Search one address</translation>
    </message>
    <message>
        <source>以太网</source>
        <translation>Ethernet</translation>
    </message>
    <message>
        <source>无</source>
        <translation>None</translation>
    </message>
    <message>
        <source>奇</source>
        <translation>Odd</translation>
    </message>
    <message>
        <source>偶</source>
        <translation>Even</translation>
    </message>
    <message>
        <source>串口</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>波特率</source>
        <translation>Baud rate</translation>
    </message>
    <message>
        <source>帧格式</source>
        <translation>Framing</translation>
    </message>
    <message>
        <source>数据位</source>
        <translation>Data bits</translation>
    </message>
    <message>
        <source>校验</source>
        <translation>Parity</translation>
    </message>
    <message>
        <source>停止位</source>
        <translation>Stop bits</translation>
    </message>
    <message>
        <source>站号范围</source>
        <translation>Stations</translation>
    </message>
    <message>
        <source>搜索连接在本机上的 USB 通信模块</source>
        <translation>Search the USB couplers connected to this computer</translation>
    </message>
    <message>
        <source>搜索</source>
        <translation>Search</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>请输入有效的 IP 地址</source>
        <translation>Enter a valid IP address</translation>
    </message>
    <message>
        <source>请选择串口</source>
        <translation>Choose a serial port</translation>
    </message>
</context>
<context>
    <name>vexadesk::CDlgRackConfig</name>
    <message>
        <source>通信模块 %1</source>
        <translation>Coupler %1</translation>
    </message>
    <message>
        <source>槽 %1: %2</source>
        <translation>Slot %1: %2</translation>
    </message>
    <message>
        <source>备份到文件…</source>
        <translation>Back up to file…</translation>
    </message>
    <message>
        <source>打开备份比较…</source>
        <translation>Open backup and compare…</translation>
    </message>
    <message>
        <source>恢复到设备</source>
        <translation>Restore to device</translation>
    </message>
    <message>
        <source>配置备份与恢复 - %1</source>
        <translation>Backup and restore - %1</translation>
    </message>
    <message>
        <source>模块 / 设置</source>
        <translation>Module / setting</translation>
    </message>
    <message>
        <source>比较结果</source>
        <translation>Comparison</translation>
    </message>
    <message>
        <source>备份文件</source>
        <translation>Backup file</translation>
    </message>
    <message>
        <source>设备</source>
        <translation>Device</translation>
    </message>
    <message>
        <source>未打开备份文件</source>
        <translation>No backup file open</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>备份到文件</source>
        <translation>Back up to file</translation>
    </message>
    <message>
        <source>机架配置 (*.json)</source>
        <translation>Rack configuration (*.json)</translation>
    </message>
    <message>
        <source>打开备份</source>
        <translation>Open backup</translation>
    </message>
    <message>
        <source>正在与设备通信…</source>
        <translation>Talking to the device…</translation>
    </message>
    <message>
        <source>读取设备出错 err=%1，未保存</source>
        <translation>Reading the device failed (err=%1); nothing saved</translation>
    </message>
    <message>
        <source>无法保存 %1：%2</source>
        <translation>Cannot save %1: %2</translation>
    </message>
    <message>
        <source>已保存 %1 个模块的 %2 项设置到 %3</source>
        <translation>Saved %2 settings of %1 modules to %3</translation>
    </message>
    <message>
        <source>备份文件不能使用：%1</source>
        <translation>The backup file cannot be used: %1</translation>
    </message>
    <message>
        <source>备份文件来自另一类通信模块（%1），此处为 %2</source>
        <translation>The backup file is of another coupler kind (%1); this one is %2</translation>
    </message>
    <message>
        <source>备份文件：%1（%2，%3）</source>
        <translation>Backup file: %1 (%2, %3)</translation>
    </message>
    <message>
        <source>读取设备出错 err=%1</source>
        <translation>Reading the device failed (err=%1)</translation>
    </message>
    <message>
        <source>相同</source>
        <translation>Equal</translation>
    </message>
    <message>
        <source>不同</source>
        <translation>Different</translation>
    </message>
    <message>
        <source>仅在备份中</source>
        <translation>Only in the backup</translation>
    </message>
    <message>
        <source>仅在设备上</source>
        <translation>Only on the device</translation>
    </message>
    <message>
        <source>类型不同</source>
        <translation>Other type</translation>
    </message>
    <message>
        <source>硬件版本不同</source>
        <translation>Other hardware version</translation>
    </message>
    <message>
        <source>勾选后恢复时写入此模块</source>
        <translation>Tick to write this module on restore</translation>
    </message>
    <message>
        <source>身份设置：勾选后恢复时才写入</source>
        <translation>Identity setting: written on restore only when ticked</translation>
    </message>
    <message>
        <source>设备与备份一致（%1 项设置相同）</source>
        <translation>The device matches the backup (%1 settings equal)</translation>
    </message>
    <message>
        <source>%1 项设置不同，%2 项仅在一侧，%3 项相同</source>
        <translation>%1 settings differ, %2 on one side only, %3 equal</translation>
    </message>
    <message>
        <source>读取设备出错 err=%1，未写入</source>
        <translation>Reading the device failed (err=%1); nothing written</translation>
    </message>
    <message>
        <source>没有需要写入的设置（%1 项跳过）</source>
        <translation>Nothing to write (%1 skipped)</translation>
    </message>
    <message>
        <source>将写入 %1 项设置，跳过 %2 项（身份设置和未确认的模块）。
继续？</source>
        <translation>%1 settings will be written, %2 skipped (identity settings and modules not confirmed).
Go on?</translation>
    </message>
    <message>
        <source>未写入任何设置</source>
        <translation>Nothing was written</translation>
    </message>
    <message>
        <source>已写入 %1 项，跳过 %2 项，被拒绝 %3 项，失败 %4 项</source>
        <translation>%1 written, %2 skipped, %3 refused, %4 failed</translation>
    </message>
    <message>
        <source>将写入</source>
        <translation>To write</translation>
    </message>
    <message>
        <source>已写入</source>
        <translation>Written</translation>
    </message>
    <message>
        <source>未变</source>
        <translation>Unchanged</translation>
    </message>
    <message>
        <source>跳过</source>
        <translation>Skipped</translation>
    </message>
    <message>
        <source>被拒绝</source>
        <translation>Refused</translation>
    </message>
    <message>
        <source>失败</source>
        <translation>Failed</translation>
    </message>
    <message>
        <source>身份设置</source>
        <translation>identity</translation>
    </message>
    <message>
        <source>无此模块</source>
        <translation>no such module</translation>
    </message>
</context>
</TS>
