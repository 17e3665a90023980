#include "core/CGenGlobal.h"

#include <QCoreApplication>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "core/TextNumber.h"
#include "platform/AppDir.h"

namespace name_share {

namespace {

IMessagePresenter* g_presenter = nullptr;

const char kLanguageFile[] = "language\\config.ini";
constexpr std::size_t kLanguageTextMax = 99;
// A damaged Count must not make start-up read a million keys.
constexpr int kMaxLanguages = 256;

constexpr std::array<StringEntry, 11> kStrings{{
    {0xF009, "进行此操作请先选择模块"},
    {0xF00E, "进行此操作请先获取模块信息"},
    {0xF00F, "没有做任何修改"},
    {0xF014, "未登录"},
    {0xF015, "已登录"},
    {0xF016, "未登录"},
    {0xF018, "修改模块配置信息出错"},
    {0xF01B, "获取模块信息出错"},
    {0xF01C, "请先选择通信模块"},
    {0xF01D, "请先选择采集模块"},
    {0xF023, "修改配置成功"},
}};

constexpr std::array<const char*, 3> kCaptions{"Information", "Warning", "Error"};

}  // namespace

IMessagePresenter::~IMessagePresenter() = default;

CGenGlobal::CGenGlobal() {
    languageIni_.SetAppFile(kLanguageFile);
    int count = 0;
    languageIni_.GetInt("LANGUAGES", "Count", count, false, 0);
    if (count > kMaxLanguages) {
        std::fprintf(stderr, "%s: LANGUAGES/Count %d, reading the first %d\n", languageIni_.File().c_str(), count,
                     kMaxLanguages);
        count = kMaxLanguages;
    }
    for (int i = 0; i < count; ++i) {
        std::string text;
        languageIni_.GetString("LANGUAGES", std::to_string(i), text, kLanguageTextMax);
        languages_.push_back(ParseLanguageEntry(text));
    }
    languageIni_.GetInt("LAST", "Sel", selected_, false, 0);
    const bool outOfList = !languages_.empty() && selected_ >= static_cast<int>(languages_.size());
    if (selected_ < 0 || outOfList) selected_ = 0;
}

CGenGlobal::~CGenGlobal() {
    if (!SaveSelection())
        std::fprintf(stderr, "%s: could not store the chosen language (LAST/Sel)\n", languageIni_.File().c_str());
}

LanguageEntry CGenGlobal::ParseLanguageEntry(const std::string& text) {
    std::array<std::string, 5> f;
    std::size_t field = 0;
    for (char c : text) {
        if (c == '|') {
            if (++field == f.size()) break;
        } else {
            f[field] += c;
        }
    }
    return {vexadesk::decOrZero(f[0]), vexadesk::decOrZero(f[1]), f[2], f[3], f[4]};
}

bool CGenGlobal::setSelected(int i) {
    if (i < 0 || i >= static_cast<int>(languages_.size())) return false;
    selected_ = i;
    return true;
}

bool CGenGlobal::SaveSelection() { return languageIni_.WriteInt("LAST", "Sel", selected_, false); }

void CGenGlobal::PopupMenu(void*, int, int, int) {}

std::span<const StringEntry> CGenGlobal::StringTable() { return kStrings; }

std::string CGenGlobal::StringById(int id) const {
    char key[16];
    std::snprintf(key, sizeof key, "0x%04X", static_cast<unsigned>(id));
    const QString translated = QCoreApplication::translate("StringId", key);
    if (translated != QLatin1String(key)) return translated.toStdString();
    for (const StringEntry& e : kStrings)
        if (e.id == id) return e.text;
    return {};
}

int CGenGlobal::MessageBoxById(void* owner, int id, int kind, int style) {
    const std::string text = StringById(id);
    if (text.empty()) {
        std::fprintf(stderr, "no text for string id 0x%04X\n", static_cast<unsigned>(id));
        return 0;
    }
    return MessageBoxText(owner, text, kind, style);
}

int CGenGlobal::MessageBoxText(void* owner, const std::string& text, int kind, int style) {
    if (kind < 0 || kind >= static_cast<int>(kCaptions.size()) || !g_presenter) return 0;
    return g_presenter->present(owner, kCaptions[static_cast<std::size_t>(kind)], text, kind, style);
}

bool CGenGlobal::OpenProgramFile(const std::string& rel) {
    const std::string path = vexa::appPath(rel);
    std::error_code ec;
    if (rel.empty() || !std::filesystem::is_regular_file(path, ec)) return false;
    return QProcess::startDetached(QStringLiteral("xdg-open"), {QString::fromStdString(path)},
                                   QString::fromStdString(vexa::appDir()));
}

void CGenGlobal::SetPresenter(IMessagePresenter* presenter) { g_presenter = presenter; }
IMessagePresenter* CGenGlobal::Presenter() { return g_presenter; }

}  // namespace name_share
