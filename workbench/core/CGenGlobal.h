#pragma once
// The base of the program's one global object: the language list read from
// AppDir/language/config.ini, the chosen language, and message boxes by text or string id.
// No widgets here: boxes are shown by the IMessagePresenter the program installs (tests install
// one that records them); without one nothing is shown and the result is 0.
#include <span>
#include <string>
#include <vector>

#include "core/CControlIni.h"

namespace name_share {

// One LANGUAGES entry: "index|localeId|displayName|locale|qmFile"; missing fields are 0 / "".
struct LanguageEntry {
    int index = 0;
    int localeId = 0;
    std::string displayName;
    std::string locale;  // e.g. "zh_CN"
    std::string qmFile;  // translation file in AppDir/language/
};

class IMessagePresenter {
public:
    virtual ~IMessagePresenter();
    // kind 0 information, 1 warning, 2 error; style 0 is the kind's default icon/buttons.
    // Returns the button pressed, as the platform's message box would.
    virtual int present(void* owner, const std::string& caption, const std::string& text, int kind, int style) = 0;
};

// A text of the program's own table, keyed by string id.
struct StringEntry {
    int id;
    const char* text;  // UTF-8
};

class CGenGlobal {
public:
    // Reads the language list and the chosen index (see SaveSelection for the way back).
    CGenGlobal();
    // Writes the chosen index back (SaveSelection).
    virtual ~CGenGlobal();
    CGenGlobal(const CGenGlobal&) = delete;
    CGenGlobal& operator=(const CGenGlobal&) = delete;

    // A hook for the program's context menus; core has none to show.
    virtual void PopupMenu(void* owner, int menuId, int x, int y);
    virtual void Notify(const std::string& text, int a, int b, int c) = 0;
    // The text of `id` (StringById), then MessageBoxText. An unknown id shows nothing: 0.
    virtual int MessageBoxById(void* owner, int id, int kind, int style);
    // Captions "Information" (kind 0), "Warning" (1), "Error" (2); any other kind shows nothing: 0.
    virtual int MessageBoxText(void* owner, const std::string& text, int kind, int style);
    // Opens AppDir + rel with the desktop's handler (xdg-open, started detached in AppDir).
    // False when the file is missing or the handler cannot be started.
    virtual bool OpenProgramFile(const std::string& rel);

    // The translation loaded into the application (context "StringId", source text "0x%04X"),
    // else the program's own table; "" for an id in neither.
    std::string StringById(int id) const;
    // The program's own table, for generating translation files.
    static std::span<const StringEntry> StringTable();

    const std::vector<LanguageEntry>& Languages() const { return languages_; }
    int Selected() const { return selected_; }
    // Chosen from a menu; takes effect at the next start. False (nothing changed) when `i` is
    // not an index of the list.
    bool setSelected(int i);
    // Writes LAST/Sel (decimal). False when it could be written nowhere.
    bool SaveSelection();

    static LanguageEntry ParseLanguageEntry(const std::string& text);
    static void SetPresenter(IMessagePresenter* presenter);
    static IMessagePresenter* Presenter();

private:
    CControlIni languageIni_;
    std::vector<LanguageEntry> languages_;
    int selected_ = 0;
};

}  // namespace name_share
