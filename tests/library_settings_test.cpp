// The settings exports over the registry store, and the language test.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "TestSupport.h"
#include "platform/Registry.h"
#include "vorbel/Settings.h"

namespace {

using testing_support::ReadFile;
using testing_support::ScopedEnv;

class Settings : public ::testing::Test {
protected:
    testing_support::TempDir dir;
    std::string store = dir.file("registry.reg");
    ScopedEnv env{"VORBEL_REGISTRY", store};

    // A buffer of sentinel bytes, so that a test sees how much was written.
    char buffer[64];
    void SetUp() override { std::memset(buffer, 0x7F, sizeof buffer); }
    // The text in the buffer; fails when more than its NUL was written.
    std::string Written() const {
        std::size_t length = std::strlen(buffer);
        for (std::size_t i = length + 1; i < sizeof buffer; ++i)
            if (buffer[i] != 0x7F) ADD_FAILURE() << "byte " << i << " written after the text";
        return std::string(buffer, length);
    }
    std::string Str(const char* subkey, const char* name) {
        std::memset(buffer, 0x7F, sizeof buffer);
        GetStrRegistry(subkey, name, buffer);
        return Written();
    }
    std::string Tmp() {
        std::memset(buffer, 0x7F, sizeof buffer);
        GetTmpRegistry(buffer);
        return Written();
    }
    std::string Bin() {
        std::memset(buffer, 0x7F, sizeof buffer);
        GetBinRegistry(buffer);
        return Written();
    }
    bool KeyExists(const std::string& key) { return platform::Registry().OpenKey(key, false); }
};

TEST_F(Settings, TextReaderTellsAMissingKeyFromAMissingValue) {
    EXPECT_EQ(Str("Tessadyn", "AmePath"), "Err");
    EXPECT_FALSE(KeyExists("\\Software\\Vorbel\\Tessadyn")) << "a read must not create the key";
    EXPECT_FALSE(std::filesystem::exists(store));

    SetStrRegistry("Tessadyn", "BmpPath", "/maps/");
    EXPECT_EQ(Str("Tessadyn", "AmePath"), "");
    EXPECT_EQ(Str("tessadyn", "bmppath"), "/maps/");

    SetStrRegistry("Tessadyn", "Stored", "Err");
    EXPECT_EQ(Str("Tessadyn", "Stored"), "Err") << "a stored Err reads like a missing key";
}

TEST_F(Settings, TextsPassThroughAsBytes) {
    const std::string cp932 = "\x95\x5C\x8E\xA6 \"q\" C:\\x";  // 表示 with a trail backslash
    SetStrRegistry("Strova", "Name", cp932.c_str());
    EXPECT_EQ(Str("Strova", "Name"), cp932);

}

// Values as the registry editor exports them: an expandable text arrives in
// code page 932, its references not expanded; a text ends at its first NUL,
// and nothing after that NUL reaches the buffer; a value that holds no text
// reads as the empty text.
TEST_F(Settings, TextReadersCopyTheTextAndItsNulOnly) {
    testing_support::WriteFile(store, "Windows Registry Editor Version 5.00\r\n\r\n"
                                      "[HKEY_CURRENT_USER\\Software\\Vorbel]\r\n"
                                      "\"DllPath\"=hex(2):2f,00,6f,00,70,00,74,00,2f,00,68,88,2f,00,00,00\r\n"
                                      "\"TmpPath\"=hex(2):25,00,54,00,4d,00,50,00,25,00,00,00\r\n"
                                      "\"Nul\"=hex(1):61,00,62,00\r\n"
                                      "\"Blob\"=hex:61,62\r\n"
                                      "\"Number\"=dword:00000007\r\n");
    EXPECT_EQ(Bin(), "/opt/\x95\x5C/");
    EXPECT_EQ(Tmp(), "%TMP%");
    EXPECT_EQ(Str("", "Nul"), "a");
    EXPECT_EQ(Str("", "Blob"), "");
    EXPECT_EQ(Str("", "Number"), "");
}

TEST_F(Settings, IntegerReadersAnswerMinusOneOrFalseForAnythingMissing) {
    EXPECT_EQ(GetIntRegistry("Strova", "Count"), -1);
    EXPECT_FALSE(GetBoolRegistry("Strova", "Flag"));
    SetIntRegistry("Strova", "Count", -1);
    EXPECT_EQ(GetIntRegistry("Strova", "Count"), -1);
    SetIntRegistry("Strova", "Count", 0x7FFFFFFF);
    EXPECT_EQ(GetIntRegistry("Strova", "Count"), 0x7FFFFFFF);
    EXPECT_EQ(GetIntRegistry("Strova", "Other"), -1);
    SetStrRegistry("Strova", "Text", "5");
    EXPECT_EQ(GetIntRegistry("Strova", "Text"), -1);
    EXPECT_FALSE(GetBoolRegistry("Strova", "Text"));

    SetIntRegistry("Strova", "Flag", 2);
    EXPECT_TRUE(GetBoolRegistry("Strova", "Flag"));
    SetBoolRegistry("Strova", "Flag", false);
    EXPECT_FALSE(GetBoolRegistry("Strova", "Flag"));
    SetBoolRegistry("Strova", "Flag", true);
    EXPECT_EQ(GetIntRegistry("Strova", "Flag"), 1) << "true is stored as the integer 1";
    EXPECT_NE(ReadFile(store).find("\"Flag\"=dword:00000001\n"), std::string::npos);
}

TEST_F(Settings, LanguageFlagCreatesTheKeysItNeeds) {
    SetUseJPRegistry("Strova", true);
    EXPECT_EQ(ReadFile(store),
              "Windows Registry Editor Version 5.00\n\n"
              "[HKEY_CURRENT_USER\\Software]\n\n"
              "[HKEY_CURRENT_USER\\Software\\Vorbel]\n\n"
              "[HKEY_CURRENT_USER\\Software\\Vorbel\\Strova]\n"
              "\"UseJP\"=dword:00000001\n\n");
    EXPECT_TRUE(GetUseJPRegistry("Strova"));
    SetStrRegistry("Tessadyn", "CfgPath", "/cfg/");
    EXPECT_FALSE(GetUseJPRegistry("Tessadyn")) << "key without UseJP";
    EXPECT_FALSE(GetUseJPRegistry("Nobody"));

    // A subkey with separators names a deeper key.
    SetUseJPRegistry("Strova\\Sub", true);
    EXPECT_TRUE(KeyExists("\\Software\\Vorbel\\Strova\\Sub"));
    EXPECT_TRUE(GetUseJPRegistry("Strova\\Sub"));
}

TEST_F(Settings, RootValuesAndTheEmptySubkey) {
    EXPECT_EQ(Bin(), "./");
    EXPECT_EQ(Tmp(), "./");
    EXPECT_EQ(Str("", "TmpPath"), "Err");

    SetStrRegistry("Strova", "x", "y");  // creates the root key too
    EXPECT_EQ(Bin(), "");
    EXPECT_EQ(Tmp(), "");
    EXPECT_EQ(Str("", "TmpPath"), "");

    SetStrRegistry("", "TmpPath", "/data/tmp/");
    SetStrRegistry("", "DllPath", "/opt/vorbel/");
    EXPECT_EQ(Tmp(), "/data/tmp/");
    EXPECT_EQ(Str("", "TmpPath"), "/data/tmp/");
    EXPECT_EQ(Bin(), "/opt/vorbel/");
}

TEST_F(Settings, ADamagedStoreAnswersAsMissingAndStaysAsItIs) {
    SetStrRegistry("", "DllPath", "/opt/vorbel/");
    const std::string damaged = ReadFile(store) + "garbage\n";
    testing_support::WriteFile(store, damaged);

    EXPECT_EQ(Bin(), "./");
    EXPECT_EQ(Str("", "DllPath"), "Err");
    EXPECT_EQ(GetIntRegistry("", "x"), -1);
    SetStrRegistry("", "DllPath", "/elsewhere/");
    SetUseJPRegistry("Strova", true);
    // What a first start of the converter would show: the store and the line.
    try {
        platform::Registry().OpenOrCreateKey("\\Software\\Vorbel", {"DllPath", platform::RegSz, "/x/"});
        ADD_FAILURE() << "a damaged store took a new key";
    } catch (const platform::RegistryError& error) {
        EXPECT_EQ(std::string(error.what()).rfind(store + ", line ", 0), 0u) << error.what();
    }
    EXPECT_EQ(ReadFile(store), damaged);
}

// A store the user made read-only: the Set functions store nothing, new keys
// included, and every read goes on as before.
TEST_F(Settings, AReadOnlyStoreIsReadAndNeverChanged) {
    SetStrRegistry("", "DllPath", "/opt/vorbel/");
    SetUseJPRegistry("Strova", true);
    std::filesystem::permissions(store, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
    const std::string before = ReadFile(store);

    SetStrRegistry("", "DllPath", "/elsewhere/");
    SetIntRegistry("Strova", "Count", 3);
    SetUseJPRegistry("Strova", false);
    SetBoolRegistry("NewProgram", "Flag", true);
    EXPECT_EQ(ReadFile(store), before);
    EXPECT_EQ(std::filesystem::status(store).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
    EXPECT_EQ(Bin(), "/opt/vorbel/");
    EXPECT_TRUE(GetUseJPRegistry("Strova"));
    EXPECT_EQ(GetIntRegistry("Strova", "Count"), -1);
    EXPECT_EQ(Str("NewProgram", "Flag"), "Err");
}

TEST(LanguageTest, OnlyAJapaneseLocaleIsJapanese) {
    ScopedEnv noAll("LC_ALL", std::nullopt);
    ScopedEnv noMessages("LC_MESSAGES", std::nullopt);
    {
        ScopedEnv lang("LANG", "ja_JP.UTF-8");
        EXPECT_TRUE(Is_JP());
        ScopedEnv all("LC_ALL", "en_US.UTF-8");
        EXPECT_FALSE(Is_JP());
    }
    ScopedEnv lang("LANG", "C");
    EXPECT_FALSE(Is_JP());
    ScopedEnv messages("LC_MESSAGES", "ja");
    EXPECT_TRUE(Is_JP());
}

}  // namespace
