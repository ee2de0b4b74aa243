// The built libvorbel.so as programs use it: loaded at run time, every export
// resolved by name and called through the pointer.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "TestSupport.h"
#include "platform/Cp932.h"
#include "platform/Module.h"
#include "vorbel/Settings.h"
#include "vorbel/Stations.h"

namespace {

const char* const FunctionExports[] = {
    "_GetVorbelDLLInst", "GetMaxAMeDAS", "GetAMeDASVolume", "GetAMeDASID", "GetAMeDASName",
    "GetAMeDASPron", "GetAMeDASYomi", "GetAMeDASBelong", "GetAMeDASBelongPron", "GetAMeDASBelongYomi",
    "GetAMeDASLatitude", "GetAMeDASLatit60", "GetAMeDASLongitude", "GetAMeDASLongit60", "GetAMeDASHeight",
    "GetAMeDASWindLevelOld", "GetAMeDASWindLevel", "GetFirstDate", "GetLastDate",
    "Is_JP", "SetStrRegistry", "SetIntRegistry", "SetBoolRegistry", "GetStrRegistry", "GetIntRegistry",
    "GetBoolRegistry", "SetUseJPRegistry", "GetUseJPRegistry", "GetBinRegistry", "GetTmpRegistry",
};

class Exports : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        module = platform::LoadModule(testing_support::BinDir() + "/libvorbel.so");
        ASSERT_NE(module, nullptr) << platform::LastLoadError();
    }
    static void TearDownTestSuite() { platform::UnloadModule(module); }

    template <typename Fn>
    static Fn* Get(const char* name) {
        auto fn = platform::Resolve<Fn*>(module, name);
        if (!fn) ADD_FAILURE() << name << ": " << platform::LastLoadError();
        return fn;
    }

    static platform::ModuleHandle module;
};

platform::ModuleHandle Exports::module = nullptr;

#define EXPORT(name) Get<decltype(name)>(#name)

// A buffer of sentinel bytes and the text an accessor left in it; fails when
// the accessor wrote past its text's NUL or returned another pointer.
template <typename Accessor>
std::string TextOf(Accessor accessor, int index) {
    char buffer[48];
    std::memset(buffer, 0x7F, sizeof buffer);
    EXPECT_EQ(accessor(index, buffer), buffer);
    std::size_t length = std::strlen(buffer);
    for (std::size_t i = length + 1; i < sizeof buffer; ++i)
        if (buffer[i] != 0x7F) ADD_FAILURE() << "byte " << i << " written past the text of index " << index;
    return std::string(buffer, length);
}

void ExpectDms(DegMinSec dms, int degrees, int minutes, int seconds) {
    EXPECT_EQ(dms.Degrees, degrees);
    EXPECT_EQ(dms.Minutes, minutes);
    EXPECT_EQ(dms.Seconds, seconds);
}

TEST_F(Exports, EveryNameResolves) {
    for (const char* name : FunctionExports)
        EXPECT_NE(platform::ResolveSymbol(module, name), nullptr) << name << ": " << platform::LastLoadError();
    EXPECT_NE(platform::ResolveSymbol(module, "_AMeDASItems"), nullptr);
    EXPECT_NE(platform::ResolveSymbol(module, "DllEntryPoint"), nullptr);
    EXPECT_EQ(std::size(FunctionExports), 30u);
}

TEST_F(Exports, EntryRoutineKeepsTheModuleHandle) {
    auto inst = EXPORT(_GetVorbelDLLInst);
    auto entry = EXPORT(DllEntryPoint);
    ASSERT_TRUE(inst && entry);
    EXPECT_EQ(inst(), module);
    EXPECT_EQ(entry(module, 0, nullptr), 1);
    EXPECT_EQ(inst(), module);
}

TEST_F(Exports, TheTableAndTheAccessorsAgree) {
    auto items = static_cast<const StationRecord*>(platform::ResolveSymbol(module, "_AMeDASItems"));
    auto max = EXPORT(GetMaxAMeDAS);
    auto id = EXPORT(GetAMeDASID);
    auto volume = EXPORT(GetAMeDASVolume);
    auto windLevel = EXPORT(GetAMeDASWindLevel);
    auto windLevelOld = EXPORT(GetAMeDASWindLevelOld);
    auto name = EXPORT(GetAMeDASName);
    ASSERT_TRUE(items && max && id && volume && windLevel && windLevelOld && name);
    ASSERT_EQ(max(), 842);
    for (int i = 0; i < 842; ++i) {
        ASSERT_EQ(id(i), i + 1);
        ASSERT_EQ(static_cast<int>(items[i].ID), i + 1);
        ASSERT_EQ(volume(i), static_cast<int>(items[i].Volume));
        ASSERT_EQ(windLevel(i), 6.5) << "whatever the old gauge height " << windLevelOld(i);
        ASSERT_DOUBLE_EQ(windLevelOld(i), static_cast<int>(items[i].WindLevelOld) / 10.0);
    }
    EXPECT_EQ(TextOf(name, 0), platform::Utf8ToCp932("宗谷岬"));
    EXPECT_EQ(TextOf(name, 841), static_cast<const char*>(items[841].Name));
    EXPECT_EQ(windLevelOld(0), 8.0);
}

TEST_F(Exports, PackedAnglesConvert) {
    auto latitude = EXPORT(GetAMeDASLatitude);
    auto longitude = EXPORT(GetAMeDASLongitude);
    auto latit60 = EXPORT(GetAMeDASLatit60);
    auto longit60 = EXPORT(GetAMeDASLongit60);
    ASSERT_TRUE(latitude && longitude && latit60 && longit60);
    EXPECT_DOUBLE_EQ(latitude(0), 45.0 + 311.0 / 600.0);  // 45311
    EXPECT_DOUBLE_EQ(longitude(0), 141.94);               // 141564
    ExpectDms(latit60(0), 45, 31, 6);
    ExpectDms(longit60(0), 141, 56, 24);
    ExpectDms(longit60(841), 123, 46, 6);                 // 123461
    EXPECT_DOUBLE_EQ(latitude(841), 24.0 + 35.0 / 600.0); // 24035
    // Whole degrees stay exact: 38000 and 134000.
    EXPECT_EQ(latitude(276), 38.0);
    ExpectDms(latit60(276), 38, 0, 0);
    EXPECT_EQ(longitude(655), 134.0);
    ExpectDms(longit60(655), 134, 0, 0);
}

TEST_F(Exports, FieldsComeWholeIntoAStationBuffer) {
    auto belongPron = EXPORT(GetAMeDASBelongPron);
    auto pron = EXPORT(GetAMeDASPron);
    auto yomi = EXPORT(GetAMeDASBelongYomi);
    auto first = EXPORT(GetFirstDate);
    auto last = EXPORT(GetLastDate);
    auto height = EXPORT(GetAMeDASHeight);
    ASSERT_TRUE(belongPron && pron && yomi && first && last && height);
    EXPECT_EQ(TextOf(belongPron, 0), "Hokkaido Soya Subprefecture");
    EXPECT_EQ(TextOf(pron, 841), "Hateruma");
    EXPECT_EQ(TextOf(yomi, 0), platform::Utf8ToCp932("ﾎｯｶｲﾄﾞｳ ｿｳﾔｼﾁｮｳ"));
    EXPECT_EQ(TextOf(first, 0), "810101");
    EXPECT_EQ(TextOf(last, 841), "951231");
    EXPECT_EQ(height(192), -3.0) << "the station below sea level";
    EXPECT_EQ(height(0), 26.0);
}

TEST_F(Exports, IndexesOutsideTheTableGiveZeroAndEmptyResults) {
    auto id = EXPORT(GetAMeDASID);
    auto volume = EXPORT(GetAMeDASVolume);
    auto latitude = EXPORT(GetAMeDASLatitude);
    auto longitude = EXPORT(GetAMeDASLongitude);
    auto latit60 = EXPORT(GetAMeDASLatit60);
    auto longit60 = EXPORT(GetAMeDASLongit60);
    auto height = EXPORT(GetAMeDASHeight);
    auto windLevel = EXPORT(GetAMeDASWindLevel);
    auto windLevelOld = EXPORT(GetAMeDASWindLevelOld);
    ASSERT_TRUE(id && volume && latitude && longitude && latit60 && longit60 && height && windLevel && windLevelOld);
    using TextAccessor = char* (*)(int, char*);
    TextAccessor texts[] = {EXPORT(GetAMeDASName),   EXPORT(GetAMeDASPron),       EXPORT(GetAMeDASYomi),
                            EXPORT(GetAMeDASBelong), EXPORT(GetAMeDASBelongPron), EXPORT(GetAMeDASBelongYomi),
                            EXPORT(GetFirstDate),    EXPORT(GetLastDate)};
    for (int index : {-1, 842, -5, INT_MIN, INT_MAX}) {
        SCOPED_TRACE(index);
        EXPECT_EQ(id(index), 0);
        EXPECT_EQ(volume(index), 0);
        EXPECT_EQ(latitude(index), 0.0);
        EXPECT_EQ(longitude(index), 0.0);
        EXPECT_EQ(height(index), 0.0);
        EXPECT_EQ(windLevel(index), 0.0);
        EXPECT_EQ(windLevelOld(index), 0.0);
        ExpectDms(latit60(index), 0, 0, 0);
        ExpectDms(longit60(index), 0, 0, 0);
        for (TextAccessor text : texts) {
            ASSERT_NE(text, nullptr);
            EXPECT_EQ(TextOf(text, index), "");
        }
    }
}

TEST_F(Exports, SettingsWorkThroughTheLoadedLibrary) {
    testing_support::TempDir dir;
    testing_support::ScopedEnv store("VORBEL_REGISTRY", dir.file("registry.reg"));
    auto setStr = EXPORT(SetStrRegistry);
    auto getStr = EXPORT(GetStrRegistry);
    auto setInt = EXPORT(SetIntRegistry);
    auto getInt = EXPORT(GetIntRegistry);
    auto setBool = EXPORT(SetBoolRegistry);
    auto setUseJP = EXPORT(SetUseJPRegistry);
    auto getUseJP = EXPORT(GetUseJPRegistry);
    auto getBin = EXPORT(GetBinRegistry);
    auto getTmp = EXPORT(GetTmpRegistry);
    auto isJP = EXPORT(Is_JP);
    // The flag readers as a caller sees them: one byte, 0 or 1.
    auto getBool = platform::Resolve<unsigned char (*)(const char*, const char*)>(module, "GetBoolRegistry");
    ASSERT_TRUE(setStr && getStr && setInt && getInt && setBool && setUseJP && getUseJP && getBin && getTmp &&
                isJP && getBool);

    char buffer[16];
    getBin(buffer);
    EXPECT_STREQ(buffer, "./");
    getStr("Strova", "x", buffer);
    EXPECT_STREQ(buffer, "Err");

    setStr("", "TmpPath", "/data/");
    getTmp(buffer);
    EXPECT_STREQ(buffer, "/data/");
    getBin(buffer);
    EXPECT_STREQ(buffer, "");
    setInt("Strova", "Count", 2);
    EXPECT_EQ(getInt("Strova", "Count"), 2);
    EXPECT_EQ(getBool("Strova", "Count"), 1);
    setBool("Strova", "Count", false);
    EXPECT_EQ(getBool("Strova", "Count"), 0);
    setUseJP("Tessadyn", true);
    EXPECT_TRUE(getUseJP("Tessadyn"));

    testing_support::ScopedEnv all("LC_ALL", "ja_JP.UTF-8");
    EXPECT_TRUE(isJP());
    testing_support::ScopedEnv english("LC_ALL", "en_GB.UTF-8");
    EXPECT_FALSE(isJP());
}

}  // namespace
