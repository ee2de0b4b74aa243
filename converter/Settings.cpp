// The main window's settings and display language: UseJP of the converter's
// own key, the folders of the map-drawing program's key, the hints in both
// languages and the status-bar hint display.
#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QToolButton>

#include "Main.h"
#include "LibraryBinding.h"
#include "WindowHelpers.h"
#include "core/Paths.h"
#include "platform/Registry.h"

namespace {

constexpr const char* StrovaKey = "Software\\Vorbel\\Strova";
constexpr const char* TessadynKey = "Software\\Vorbel\\Tessadyn";

// A folder value of the open key; a missing value is the empty prefix.
std::string ReadFolder(const platform::Registry& registry, const char* name) {
    return registry.ValueExists(name) ? registry.ReadString(name) : std::string();
}

// UseJP written while the window is being made: a store that can't take it
// (a folder or file closed to writing) is passed over, as a key that can't be
// opened is, and the start goes on.
void WriteUseJPIfPossible(TMainForm& form, bool value) {
    try {
        form.WriteUseJP(value);
    } catch (const platform::RegistryError&) {
    }
}

struct HintPair {
    const char* japanese;
    const char* english;
};

}  // namespace

void TMainForm::ReadSettings() {
    JPMode = false;
    platform::Registry registry;
    if (registry.OpenKey(StrovaKey, false)) {
        JPMode = registry.ReadInteger("UseJP") != 0;
        registry.CloseKey();
        if (!strova::JapaneseAvailable && JPMode) {
            WriteUseJPIfPossible(*this, false);
            JPMode = false;
        }
    } else {
        WriteUseJPIfPossible(*this, false);
    }
    if (registry.OpenKey(TessadynKey, false)) {
        AmePath = ReadFolder(registry, "AmePath");
        BmpPath = ReadFolder(registry, "BmpPath");
        CfgPath = ReadFolder(registry, "CfgPath");
        registry.CloseKey();
    } else {
        AmePath = BmpPath = CfgPath = strova::CurrentFolderPrefix;
    }
}

void TMainForm::WriteUseJP(bool value) {
    platform::Registry registry;
    if (!registry.OpenKey(StrovaKey, true)) return;
    registry.WriteInteger("UseJP", value ? 1 : 0);
    registry.CloseKey();
}

void TMainForm::ApplyLanguage() {
    auto pick = [this](const HintPair& hint) { return QString(JPMode ? hint.japanese : hint.english); };
    const std::pair<QAction*, HintPair> menuHints[] = {
        {FileOpenMenu, {"ﾌｧｲﾙを開く|ｸﾞﾚｰに塗られたﾏｯﾌﾟﾌｧｲﾙを読み込みます．", "|Reading a bitmap file colored gray."}},
        {FileExitMenu, {"終了する|このｱﾌﾟﾘｹｰｼｮﾝを終了します．", "|Terminating this program."}},
        {RunMenu, {"実行する|実行して必要なﾌｧｲﾙを生成します．", "|Generating necessary files for Tessadyn."}},
        {OptionUSMenu, {"英語表示|英語表示に切替ます．", "|Turning on/off English display mode."}},
        {OptionJPMenu, {"日本語表示|日本語表示に切替ます．", "|Turning on/off Japanese display mode."}},
        {HelpUsageMenu,
         {"ﾍﾙﾌﾟﾌｧｲﾙを開く|使い方のﾍﾙﾌﾟｳｨﾝﾄﾞｳを表示します．", "|Displaying the help file on the usage of this program."}},
        {HelpAboutMenu,
         {"ｳﾞｧｰｼﾞｮﾝ情報|このﾌﾟﾛｸﾞﾗﾑに関する情報を表示します．", "|Displaying the version information dialog window."}},
    };
    for (const auto& [item, hint] : menuHints) platform::SetHint(item, pick(hint));

    const std::pair<QWidget*, HintPair> controlHints[] = {
        {Text1, {"|ｸﾞﾚｰﾏｯﾌﾟから陸地部分のデータを抽出します...", ""}},
        {Text2, {"|AMeDAS地点に対応するﾋﾟｸｾﾙの座標を計算します...", ""}},
        {Text3, {"|陸地の全ﾋﾟｸｾﾙに対して近隣AMeDAS地点を計算します...", ""}},
        {ProgBar,
         {"Progress Indicator|進捗状況を表示します．", "Progress Indicator|Displaying progress status of a process."}},
        {ListBtn, {"Process log.|処理経過をﾘｽﾄ表示します．", "Process log.|Viewing the list of process log."}},
    };
    for (const auto& [control, hint] : controlHints) platform::SetHint(control, pick(hint));

    StatBar->setFont(JPMode ? strova::JapaneseFont() : platform::FontInPoints("MS Sans Serif", 8));

    const std::pair<QToolButton*, QAction*> buttonItems[] = {
        {FileOpenBtn, FileOpenMenu}, {RunBtn, RunMenu}, {HelpBtn, HelpUsageMenu}, {AboutBtn, HelpAboutMenu}};
    for (const auto& [button, item] : buttonItems) platform::SetHint(button, platform::HintOf(item));
}

// Qt has already reversed the check mark of the item clicked; the other item
// gets the opposite, so every click switches the language.
void TMainForm::OptionMenuClick(QAction* sender) {
    QAction* other = platform::Tag(sender) != 0 ? OptionUSMenu : OptionJPMenu;
    other->setChecked(!sender->isChecked());
    JPMode = !OptionUSMenu->isChecked();
    ApplyLanguage();
    repaint();
    try {
        WriteUseJP(JPMode);
    } catch (const std::exception& error) {
        strova::App().ShowException(error);  // a store that can't be replaced
    }
}

void TMainForm::ShowMainHint() { StatBar->showMessage(strova::App().Hint); }
