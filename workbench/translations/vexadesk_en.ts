<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>vexadesk::CDlgLogin</name>
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
</TS>
