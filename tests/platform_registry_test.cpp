// The registry store: its file format, key and value rules, damaged files,
// and several processes writing at once.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <ostream>
#include <system_error>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "platform/Registry.h"

namespace {

using platform::Registry;
using platform::RegistryError;
using testing_support::ReadFile;
using testing_support::WriteFile;

// CP932 texts whose second byte is a backslash or an ASCII letter.
const std::string Hyo = "\x95\x5C";   // 表
const std::string So = "\x83\x5C";    // ソ
const std::string KanaA = "\x83\x41"; // ア
const std::string KanaDi = "\x83\x61"; // ヂ

bool KeyExists(const std::string& key) { return Registry().OpenKey(key, false); }

// Gives each key of `paths` (full paths below the hive) a value "Key" that
// holds its path, so that a read of "Key" tells which key an accessor has open.
void NameKeys(const std::vector<std::string>& paths) {
    for (const auto& path : paths) {
        Registry r;
        ASSERT_TRUE(r.OpenKey("\\" + path, true)) << path;
        r.WriteString("Key", path);
    }
}

// The key that reads of `r` land in, as NameKeys named it.
std::string OpenKeyOf(const Registry& r) {
    try {
        return r.ReadString("Key");
    } catch (const RegistryError&) {
        return "(none)";
    }
}

// The message of a write of `name` into the existing key Software\Vorbel;
// "written" when the write did not fail.
std::string FailedWrite(const std::string& name) {
    try {
        Registry r;
        if (!r.OpenKey("\\Software\\Vorbel", false)) return "no key";
        r.WriteString(name, "x");
        return "written";
    } catch (const RegistryError& error) {
        return error.what();
    }
}

// What making a key with its first value says when the store can't take it:
// the message a first start of the converter shows.
std::string FailedCreate() {
    try {
        Registry().OpenOrCreateKey("\\Software\\Vorbel", {"DllPath", platform::RegSz, "/opt/"});
        return "created";
    } catch (const RegistryError& error) {
        return error.what();
    }
}

struct Owner {
    uid_t uid;
    gid_t gid;
    bool operator==(const Owner&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Owner& owner) {
    return out << owner.uid << ":" << owner.gid;
}
Owner OwnerOf(const std::string& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) return {static_cast<uid_t>(-1), static_cast<gid_t>(-1)};
    return {info.st_uid, info.st_gid};
}

class RegistryStore : public ::testing::Test {
protected:
    testing_support::TempDir dir;
    std::string store = dir.file("registry.reg");
    testing_support::ScopedEnv env{"VORBEL_REGISTRY", store};

    std::vector<std::string> FilesInDir() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            names.push_back(entry.path().filename().string());
        return names;
    }
};

TEST_F(RegistryStore, WritesTheExportFormatByteForByte) {
    Registry r;
    ASSERT_TRUE(r.OpenKey("\\Software\\Vorbel", true));
    r.WriteString("DllPath", "/opt/vorbel/");
    r.WriteInteger("UseJP", 1);
    ASSERT_TRUE(r.OpenKey("Strova", true));  // below the open key
    r.WriteString("Title", "say \"" + Hyo + "\" at C:\\x");
    r.WriteInteger("Neg", -2);
    r.WriteString("Lines", "a\nb");
    r.WriteString("", "default");

    EXPECT_EQ(ReadFile(store),
              "Windows Registry Editor Version 5.00\n"
              "\n"
              "[HKEY_CURRENT_USER\\Software]\n"
              "\n"
              "[HKEY_CURRENT_USER\\Software\\Vorbel]\n"
              "\"DllPath\"=\"/opt/vorbel/\"\n"
              "\"UseJP\"=dword:00000001\n"
              "\n"
              "[HKEY_CURRENT_USER\\Software\\Vorbel\\Strova]\n"
              "\"Title\"=\"say \\\"\x95\\\\\\\" at C:\\\\x\"\n"
              "\"Neg\"=dword:fffffffe\n"
              "\"Lines\"=hex(1):61,0a,62,00\n"
              "@=\"default\"\n"
              "\n");
}

TEST_F(RegistryStore, GivesEveryValueBackByteForByte) {
    std::string allBytes;
    for (int b = 0; b < 256; ++b) allBytes += static_cast<char>(b);
    const std::vector<std::pair<std::string, std::string>> texts = {
        {"cp932", Hyo + So + "\x94\x5C\x82\xA0" + "\xB1"},  // trail backslashes, hiragana, half-width kana
        {"quotes", "\"\\\"\\\\"},
        {"crlf", "a\r\nb\rc\n"},
        {"nul", std::string("a\0b", 3)},
        {"empty", ""},
        {"blanks", "  x  "},
        {"all", allBytes},
        {"name \"with\" \\ and " + Hyo, "v"},
    };
    {
        Registry r;
        ASSERT_TRUE(r.OpenKey("\\Software\\" + Hyo + So, true));
        for (const auto& [name, text] : texts) r.WriteString(name, text);
        r.WriteInteger("min", INT32_MIN);
        r.WriteInteger("max", INT32_MAX);
    }
    Registry r;
    ASSERT_TRUE(r.OpenKey("\\Software\\" + Hyo + So, false));
    for (const auto& [name, text] : texts) EXPECT_EQ(r.ReadString(name), text) << name;
    EXPECT_EQ(r.ReadInteger("min"), INT32_MIN);
    EXPECT_EQ(r.ReadInteger("max"), INT32_MAX);

    // Long hex data is wrapped over lines and still reads back.
    std::string file = ReadFile(store);
    EXPECT_NE(file.find(",\\\n  "), std::string::npos);
    for (size_t start = 0, end; (end = file.find('\n', start)) != std::string::npos; start = end + 1)
        if (file.compare(start, 5, "\"all\"") == 0) { EXPECT_LE(end - start, 80u); }
    EXPECT_EQ(platform::FormatRegistryText(platform::ParseRegistryText(file)), file);
}

TEST_F(RegistryStore, NamesIgnoreLetterCaseAndKeepTheirFirstSpelling) {
    Registry r;
    ASSERT_TRUE(r.OpenKey("\\Software\\Vorbel", true));
    r.WriteString("DllPath", "one");
    ASSERT_TRUE(r.OpenKey("\\SOFTWARE\\vorbel", false));
    EXPECT_EQ(r.ReadString("dllpath"), "one");
    r.WriteString("DLLPATH", "two");
    EXPECT_EQ(r.ReadString("DllPath"), "two");
    EXPECT_NE(ReadFile(store).find("[HKEY_CURRENT_USER\\Software\\Vorbel]\n\"DllPath\"=\"two\""), std::string::npos);

    // The second byte of a double-byte character is not a letter to fold nor
    // a separator: ア and ヂ differ only in the case of that byte.
    ASSERT_TRUE(r.OpenKey("\\" + KanaA, true));
    r.WriteString(KanaA, "a");
    r.WriteString(KanaDi, "di");
    EXPECT_EQ(r.ReadString(KanaA), "a");
    EXPECT_FALSE(KeyExists("\\" + KanaDi));
    ASSERT_TRUE(r.OpenKey("\\" + Hyo + "\\x", true));
    EXPECT_TRUE(KeyExists("\\" + Hyo));
    EXPECT_FALSE(KeyExists("\\\x95"));
}

TEST_F(RegistryStore, OpensAndCreatesKeysAsTheFormFrameworkDid) {
    Registry r;
    EXPECT_FALSE(r.OpenKey("\\Software\\Vorbel", false));
    EXPECT_FALSE(std::filesystem::exists(store)) << "opening without creating must not write";
    EXPECT_FALSE(r.ValueExists("x"));
    EXPECT_THROW(r.WriteString("x", "y"), RegistryError) << "no key is open";

    ASSERT_TRUE(r.OpenKey("\\Software\\Vorbel\\Strova\\", true));
    EXPECT_TRUE(KeyExists("\\Software"));
    EXPECT_TRUE(KeyExists("\\Software\\Vorbel"));
    NameKeys({"Software", "Software\\Vorbel", "Software\\Vorbel\\Strova"});
    EXPECT_EQ(OpenKeyOf(r), "Software\\Vorbel\\Strova");
    EXPECT_TRUE(r.OpenKey("\\Software\\Vorbel\\", false)) << "a trailing separator names the same key";
    EXPECT_EQ(OpenKeyOf(r), "Software\\Vorbel");
    EXPECT_TRUE(r.OpenKey("Strova", false)) << "relative to the open key";
    EXPECT_EQ(OpenKeyOf(r), "Software\\Vorbel\\Strova");
    EXPECT_FALSE(r.OpenKey("Software", false)) << "relative, so below Strova";
    EXPECT_EQ(OpenKeyOf(r), "Software\\Vorbel\\Strova") << "a failed open keeps the key open";
    r.CloseKey();
    EXPECT_EQ(OpenKeyOf(r), "(none)") << "no key is open";
    EXPECT_TRUE(r.OpenKey("Software", false)) << "relative to the hive once closed";
    EXPECT_EQ(OpenKeyOf(r), "Software");
    EXPECT_TRUE(r.OpenKey("\\", false)) << "the hive itself";
    EXPECT_EQ(OpenKeyOf(r), "(none)");
    EXPECT_FALSE(r.OpenKey("\\bad\nname", true));

    ASSERT_TRUE(r.OpenKey("\\Software\\Vorbel", false));
    r.WriteString("Text", "1");
    r.WriteInteger("Number", 1);
    try {
        r.ReadInteger("Text");
        FAIL() << "reading a text as an integer must throw";
    } catch (const RegistryError& error) {
        EXPECT_STREQ(error.what(), "Invalid data type for 'Text'");
    }
    EXPECT_THROW(r.ReadString("Number"), RegistryError);
    EXPECT_THROW(r.ReadString("Missing"), RegistryError);
    EXPECT_THROW(r.WriteString("bad\nname", "x"), RegistryError);
    EXPECT_TRUE(r.ValueExists("text"));
    EXPECT_FALSE(r.ValueExists("Missing"));
}

// The registry editor exports an expandable text as UTF-16LE code units; it
// reads as the text it is, in code page 932, up to its first NUL. Texts of
// the other kind stay the bytes they are.
TEST_F(RegistryStore, ExpandableTextsAreReadAsTheRegistryEditorWritesThem) {
    WriteFile(store, "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Vorbel]\r\n"
                     "\"DllPath\"=hex(2):2f,00,6f,00,70,00,74,00,2f,00,68,88,2f,00,00,00\r\n"
                     "\"Cut\"=hex(2):61,00,00,00,62,00,00,00\r\n"
                     "\"Unended\"=hex(2):61,00,62,00\r\n"
                     "\"Foreign\"=hex(2):e9,00,3d,d8,00,de,21,00,00,00\r\n"
                     "\"Empty\"=hex(2):\r\n"
                     "\"Bytes\"=hex(1):61,00,62,00\r\n");
    Registry r;
    ASSERT_TRUE(r.OpenKey("\\Software\\Vorbel", false));
    EXPECT_EQ(r.ReadString("DllPath"), "/opt/" + Hyo + "/");
    EXPECT_EQ(r.ReadString("Cut"), "a");
    EXPECT_EQ(r.ReadString("Unended"), "ab");
    EXPECT_EQ(r.ReadString("Foreign"), "??" "?!");
    EXPECT_EQ(r.ReadString("Empty"), "");
    EXPECT_EQ(r.ReadString("Bytes"), std::string("a\0b", 3));
}

TEST_F(RegistryStore, LivesWhereTheEnvironmentSays) {
    EXPECT_EQ(platform::RegistryStorePath(), store);
    {
        testing_support::ScopedEnv noStore("VORBEL_REGISTRY", std::nullopt);
        testing_support::ScopedEnv config("XDG_CONFIG_HOME", "/cfg");
        EXPECT_EQ(platform::RegistryStorePath(), "/cfg/vorbel/registry.reg");
        testing_support::ScopedEnv noConfig("XDG_CONFIG_HOME", std::nullopt);
        testing_support::ScopedEnv home("HOME", "/home/u");
        EXPECT_EQ(platform::RegistryStorePath(), "/home/u/.config/vorbel/registry.reg");
    }
    // The folder is made on the first write.
    std::string nested = dir.file("a/b/registry.reg");
    testing_support::ScopedEnv deeper("VORBEL_REGISTRY", nested);
    Registry r;
    ASSERT_TRUE(r.OpenKey("\\Software", true));
    EXPECT_TRUE(std::filesystem::exists(nested));
    EXPECT_TRUE(KeyExists("\\Software")) << "the new store reads back";
}

TEST(RegistryText, ReadsWhatPeopleAndTheRegistryEditorWrite) {
    auto keys = platform::ParseRegistryText(
        "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n"
        "\r\n"
        "; a comment\r\n"
        "[hkey_current_user\\Software\\\\Vorbel\\Strova]\r\n"
        "\"A\"=dword:0000000A\r\n"
        "\"B\"=hex:01,02,\\\r\n"
        "  03\r\n"
        "\"Multi\"=hex(7):61,00,00\r\n"
        "@=\"d\"\r\n"
        "[HKEY_CURRENT_USER\\Software\\Vorbel\\STROVA]\n"
        "\"a\"=dword:7\n"
        "[HKEY_CURRENT_USER\\Apps]\n");
    ASSERT_EQ(keys.size(), 4u) << "parents added, sections of one key merged";
    EXPECT_EQ(keys[0].path, "Apps") << "keys in order, wherever they stand";
    EXPECT_EQ(keys[1].path, "Software");
    EXPECT_EQ(keys[2].path, "Software\\Vorbel");
    EXPECT_EQ(keys[3].path, "Software\\Vorbel\\Strova");
    const auto& values = keys[3].values;
    ASSERT_EQ(values.size(), 4u);
    EXPECT_EQ(values[0], (platform::RegistryValue{"A", platform::RegDword, std::string("\x07\0\0\0", 4)}));
    EXPECT_EQ(values[1], (platform::RegistryValue{"B", platform::RegBinary, "\x01\x02\x03"}));
    EXPECT_EQ(values[2], (platform::RegistryValue{"Multi", 7, std::string("a\0\0", 3)}));
    EXPECT_EQ(values[3], (platform::RegistryValue{"", platform::RegSz, "d"}));
    // A kind this store does not use is kept as it was.
    EXPECT_NE(platform::FormatRegistryText(keys).find("\"B\"=hex:01,02,03\n\"Multi\"=hex(7):61,00,00\n"),
              std::string::npos);

    EXPECT_TRUE(platform::ParseRegistryText("").empty());
    EXPECT_TRUE(platform::ParseRegistryText("\n\n").empty());
}

TEST(RegistryText, DeepKeysGetEachParentOnce) {
    std::string path;
    for (int depth = 0; depth < 64; ++depth) path += "\\K" + std::to_string(depth);
    auto keys = platform::ParseRegistryText("Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER" + path +
                                            "]\n\"v\"=dword:1\n[HKEY_CURRENT_USER\\k0\\K1]\n");
    ASSERT_EQ(keys.size(), 64u);
    EXPECT_EQ(keys[0].path, "K0");
    EXPECT_EQ(keys[63].path, path.substr(1));
    EXPECT_EQ(keys[63].values.size(), 1u);
}

TEST(RegistryText, NamesTheLineOfEveryMistake) {
    const std::string header = "Windows Registry Editor Version 5.00\n\n";
    const std::string key = header + "[HKEY_CURRENT_USER\\Software]\n";
    const std::vector<std::pair<std::string, std::string>> bad = {
        {"REGEDIT4\n", "line 1: "},
        {header + "\"A\"=\"x\"\n", "line 3: "},
        {header + "[HKEY_LOCAL_MACHINE\\Software]\n", "line 3: "},
        {header + "[HKEY_CURRENT_USERS]\n", "line 3: "},
        {header + "[HKEY_CURRENT_USER\\Software\n", "line 3: "},
        {header + "[-HKEY_CURRENT_USER\\Software]\n", "line 3: "},
        {key + "\"A\"=\"x\n", "line 4: "},
        {key + "\"A\"=\"C:\\x\"\n", "line 4: "},
        {key + "\"A\"=\"x\" y\n", "line 4: "},
        {key + "\"A\"\"x\"\n", "line 4: "},
        {key + "\"A\"=dword:\n", "line 4: "},
        {key + "\"A\"=dword:123456789\n", "line 4: "},
        {key + "\"A\"=dword:xyz\n", "line 4: "},
        {key + "\"A\"=hex:1,2\n", "line 4: "},
        {key + "\"A\"=hex:01,\n", "line 4: "},
        {key + "\"A\"=hex:01;02\n", "line 4: "},
        {key + "\"A\"=hex(:01\n", "line 4: "},
        {key + "\"A\"=hex:01,\\\n", "line 4: "},
        {key + "\"A\"=hex:01,\\\n  02,\\\n", "line 5: "},
        {key + "\"A\"=-\n", "line 4: "},
        {key + "\"A\"=text\n", "line 4: "},
        {key + "A=\"x\"\n", "line 4: "},
    };
    for (const auto& [text, line] : bad) {
        try {
            platform::ParseRegistryText(text);
            ADD_FAILURE() << "accepted: " << text;
        } catch (const RegistryError& error) {
            EXPECT_EQ(std::string(error.what()).rfind(line, 0), 0u) << text << " -> " << error.what();
        }
    }
}

TEST_F(RegistryStore, NeverOverwritesAStoreThatDoesNotParse) {
    Registry writer;
    ASSERT_TRUE(writer.OpenKey("\\Software\\Vorbel", true));
    writer.WriteString("Kept", "x");
    const std::string damaged = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software]\n\"Broken\n";
    WriteFile(store, damaged);

    try {
        writer.WriteString("New", "y");
        FAIL() << "a write into a damaged store must fail";
    } catch (const RegistryError& error) {
        EXPECT_EQ(std::string(error.what()).rfind(store + ", line 4: ", 0), 0u) << error.what();
    }
    EXPECT_EQ(FailedCreate().rfind(store + ", line 4: ", 0), 0u) << "the message a first start shows";
    EXPECT_FALSE(writer.ValueExists("Kept")) << "reads see an empty store";
    Registry other;
    EXPECT_FALSE(other.OpenKey("\\Software", false));
    EXPECT_FALSE(other.OpenKey("\\Other", true));
    EXPECT_EQ(ReadFile(store), damaged);
    for (const auto& name : FilesInDir()) EXPECT_TRUE(name == "registry.reg" || name == "registry.reg.lock") << name;
}

// Writes `count` integers named "<prefix><i>", each through its own accessor
// as the settings functions do; reports each finished write on `report`.
void WriteValues(const std::string& prefix, int count, int report) {
    for (int i = 0; count < 0 || i < count; ++i) {
        Registry r;
        if (!r.OpenKey("\\Software\\Vorbel\\Race", true)) _exit(2);
        r.WriteInteger(prefix + std::to_string(i), i);
        // A large value makes every write long enough to be cut in the middle.
        r.WriteString(prefix + "bulk", std::string(20000 + i, static_cast<char>('a' + i % 26)));
        if (report >= 0 && write(report, "x", 1) != 1) _exit(3);
    }
}

TEST_F(RegistryStore, ProcessesWritingAtOnceLoseNothing) {
    constexpr int Writers = 4, Each = 15;
    std::vector<pid_t> children;
    for (int w = 0; w < Writers; ++w) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            try {
                WriteValues("w" + std::to_string(w) + "_", Each, -1);
            } catch (...) {
                _exit(1);
            }
            _exit(0);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    Registry r;
    ASSERT_TRUE(r.OpenKey("\\Software\\Vorbel\\Race", false));
    for (int w = 0; w < Writers; ++w)
        for (int i = 0; i < Each; ++i) EXPECT_EQ(r.ReadInteger("w" + std::to_string(w) + "_" + std::to_string(i)), i);
}

TEST_F(RegistryStore, AWriterKilledMidWriteLeavesAWholeStore) {
    constexpr int Writers = 3, Before = 8;
    std::vector<pid_t> children;
    std::vector<int> reports;
    for (int w = 0; w < Writers; ++w) {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            close(fds[0]);
            try {
                WriteValues("k" + std::to_string(w) + "_", -1, fds[1]);
            } catch (...) {
                _exit(1);
            }
            _exit(0);
        }
        close(fds[1]);
        children.push_back(pid);
        reports.push_back(fds[0]);
    }
    // Let each writer finish some writes, then kill them all while one of
    // them is writing its new store (its temporary file is there; a writer
    // that wrote in place would be caught at some other moment).
    std::vector<int> done(Writers, 0);
    for (int w = 0; w < Writers; ++w) {
        char c;
        while (done[w] < Before && read(reports[w], &c, 1) == 1) ++done[w];
    }
    for (int look = 0; look < 20000 && FilesInDir().size() < 3; ++look) {
    }
    for (pid_t pid : children) kill(pid, SIGKILL);
    for (int w = 0; w < Writers; ++w) {
        int status = 0;
        waitpid(children[w], &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status)) << "writer " << w << " ended early: " << status;
        char c;
        while (read(reports[w], &c, 1) == 1) ++done[w];
        close(reports[w]);
    }

    EXPECT_NO_THROW(platform::ParseRegistryText(ReadFile(store))) << "the store is whole";
    Registry r;
    ASSERT_TRUE(r.OpenKey("\\Software\\Vorbel\\Race", false));
    for (int w = 0; w < Writers; ++w)
        for (int i = 0; i < done[w]; ++i) EXPECT_EQ(r.ReadInteger("k" + std::to_string(w) + "_" + std::to_string(i)), i);
    // And the store still takes writes.
    r.WriteString("after", "ok");
    EXPECT_EQ(r.ReadString("after"), "ok");
}

// As the ordinary user, a store in a folder closed to writing: the messages
// name the store, never the temporary file, with the system's reason.
TEST_F(RegistryStore, FailedChangesNameTheStoreAndTheReason) {
    {
        Registry writer;
        ASSERT_TRUE(writer.OpenKey("\\Software\\Vorbel", true));
    }
    const std::string before = ReadFile(store);
    for (const auto& file : {store, store + ".lock"}) testing_support::GiveToOrdinaryUser(file);
    auto failsWith = [&](const std::string& reason) {
        return testing_support::AsOrdinaryUser([&] {
            std::string message = FailedWrite("New");
            if (message == store + ": " + reason) return 0;
            std::fprintf(stderr, "%s\n", message.c_str());
            return 1;
        });
    };
    EXPECT_EQ(failsWith("can't write the registry store: Permission denied"), 0);
    std::filesystem::remove(store + ".lock");
    EXPECT_EQ(failsWith("can't lock the registry store: Permission denied"), 0);
    EXPECT_EQ(ReadFile(store), before);
    for (const auto& name : FilesInDir()) EXPECT_EQ(name, "registry.reg");
}

// Root (sudo) writing a user's store leaves it, and the lock beside it that
// root makes, the user's: the user's next change is stored.
TEST_F(RegistryStore, RootWritingAUsersStoreLeavesItTheUsers) {
    if (geteuid() != 0) GTEST_SKIP() << "only root can write another user's store";
    testing_support::OpenToOrdinaryUser(dir.path());
    const auto write = [](const std::string& name) {
        Registry r;
        r.OpenKey("\\Software\\Vorbel", true);
        r.WriteString(name, "x");
    };
    EXPECT_EQ(testing_support::AsOrdinaryUser([&] {
                  write("User");
                  return 0;
              }),
              0);
    std::filesystem::remove(store + ".lock");  // as with a store the user brought
    write("Root");
    for (const std::string& file : {store, store + ".lock"}) {
        struct stat info {};
        ASSERT_EQ(stat(file.c_str(), &info), 0);
        EXPECT_EQ(info.st_uid, testing_support::OrdinaryUserId()) << file;
    }
    EXPECT_EQ(testing_support::AsOrdinaryUser([&] { return FailedWrite("Later") == "written" ? 0 : 1; }), 0);
    Registry r;
    ASSERT_TRUE(r.OpenKey("\\Software\\Vorbel", false));
    for (const char* name : {"User", "Root", "Later"}) EXPECT_EQ(r.ReadString(name), "x") << name;
}

// Root (sudo) making a user's store that is not there yet (a first start
// with the user's XDG_CONFIG_HOME) makes the folder, the store and its lock
// the user's, in the owner and group of the user's folder: the user's later
// changes are stored and read back.
TEST(RegistryNewStore, RootMakingAUsersStoreMakesItTheUsers) {
    if (geteuid() != 0) GTEST_SKIP() << "only root can make a store in another user's folder";
    testing_support::TempDir config;  // the user's, empty
    testing_support::MakeOrdinaryUsersFolder(config.path());
    testing_support::ScopedEnv noStore("VORBEL_REGISTRY", std::nullopt);
    testing_support::ScopedEnv home("XDG_CONFIG_HOME", config.path().string());
    const std::string folder = config.file("vorbel"), store = folder + "/registry.reg";
    ASSERT_EQ(platform::RegistryStorePath(), store);
    {
        Registry r;
        ASSERT_TRUE(r.OpenKey("\\Software\\Vorbel", true));
        r.WriteString("Root", "x");
    }
    const Owner user{testing_support::OrdinaryUserId(), testing_support::OrdinaryGroupId()};
    for (const std::string& made : {folder, store, store + ".lock"}) EXPECT_EQ(OwnerOf(made), user) << made;
    EXPECT_EQ(testing_support::FilesIn(folder), (std::vector<std::string>{"registry.reg", "registry.reg.lock"}));

    EXPECT_EQ(testing_support::AsOrdinaryUser([] {
                  Registry r;
                  if (!r.OpenKey("\\Software\\Vorbel\\Strova", true)) return 1;
                  r.WriteString("User", "y");
                  Registry again;
                  if (!again.OpenKey("\\Software\\Vorbel\\Strova", false)) return 2;
                  if (again.ReadString("User") != "y") return 3;
                  if (!again.OpenKey("\\Software\\Vorbel", false) || again.ReadString("Root") != "x") return 4;
                  return 0;
              }),
              0);
    Registry r;
    ASSERT_TRUE(r.OpenKey("\\Software\\Vorbel\\Strova", false));
    EXPECT_EQ(r.ReadString("User"), "y");
    for (const std::string& made : {folder, store, store + ".lock"}) EXPECT_EQ(OwnerOf(made), user) << made;

    // A folder that is missing further up is made the user's all the way down.
    testing_support::ScopedEnv deeper("XDG_CONFIG_HOME", config.file("a/b"));
    EXPECT_FALSE(KeyExists("\\Software"));
    EXPECT_FALSE(std::filesystem::exists(config.file("a"))) << "a read makes nothing";
    ASSERT_TRUE(Registry().OpenKey("\\Software", true));
    for (const char* made : {"a", "a/b", "a/b/vorbel", "a/b/vorbel/registry.reg", "a/b/vorbel/registry.reg.lock"})
        EXPECT_EQ(OwnerOf(config.file(made)), user) << made;
}

// In a sticky folder open to everyone (such as /tmp) a store, a lock or a
// folder that root makes stays root's, as there a file given away would be
// another user's without that user having made it.
TEST(RegistryNewStore, InASharedFolderTheMakerKeepsWhatItMakes) {
    if (geteuid() != 0) GTEST_SKIP() << "only root can make a store in another user's folder";
    testing_support::TempDir shared;
    testing_support::GiveToOrdinaryUser(shared.path());
    std::filesystem::permissions(shared.path(), std::filesystem::perms::all | std::filesystem::perms::sticky_bit);
    const Owner root{0, 0};
    for (const std::string& store : {shared.file("registry.reg"), shared.file("vorbel/registry.reg")}) {
        testing_support::ScopedEnv env("VORBEL_REGISTRY", store);
        Registry r;
        ASSERT_TRUE(r.OpenKey("\\Software\\Vorbel", true)) << store;
        r.WriteString("Root", "x");
        for (const std::string& made : {store, store + ".lock", std::filesystem::path(store).parent_path().string()}) {
            if (made == shared.path().string()) continue;
            EXPECT_EQ(OwnerOf(made), root) << made;
        }
    }
}

// The folder of the store is made as the store needs it, and a folder that
// can't be made says why.
TEST(RegistryNewStore, MakeSettingsFolderMakesEveryMissingFolder) {
    testing_support::TempDir dir;
    EXPECT_FALSE(platform::MakeSettingsFolder(dir.file("a/b/c")));
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("a/b/c")));
    EXPECT_FALSE(platform::MakeSettingsFolder(dir.file("a/b/c"))) << "a folder that is there";
    EXPECT_FALSE(platform::MakeSettingsFolder(dir.file("a/../d")));
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("d")));
    EXPECT_FALSE(platform::MakeSettingsFolder(""));
    testing_support::WriteFile(dir.file("file"), "");
    EXPECT_EQ(platform::MakeSettingsFolder(dir.file("file")), std::make_error_code(std::errc::not_a_directory));
    EXPECT_EQ(platform::MakeSettingsFolder(dir.file("file/sub")).value(), ENOTDIR);
    EXPECT_TRUE(platform::MakeSettingsFolder("/proc/nonexistent/sub"));
}

// A store that is a symbolic link stays one: the change goes to its target,
// which is locked and replaced in its own folder.
TEST_F(RegistryStore, ALinkedStoreIsWrittenThroughToItsTarget) {
    testing_support::TempDir elsewhere;
    std::filesystem::create_directories(elsewhere.path() / "config");
    std::string target = elsewhere.file("config/settings.reg");
    std::filesystem::create_symlink("config/settings.reg", elsewhere.file("middle.reg"));
    std::filesystem::create_symlink(elsewhere.file("middle.reg"), store);
    for (const char* value : {"first", "second"}) {  // first the target is made, then replaced
        Registry r;
        ASSERT_TRUE(r.OpenKey("\\Software\\Vorbel", true));
        r.WriteString("DllPath", value);
        EXPECT_TRUE(std::filesystem::is_symlink(store));
        EXPECT_TRUE(std::filesystem::is_symlink(elsewhere.file("middle.reg")));
        EXPECT_EQ(ReadFile(target), "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software]\n\n"
                                    "[HKEY_CURRENT_USER\\Software\\Vorbel]\n\"DllPath\"=\"" +
                                        std::string(value) + "\"\n\n");
        EXPECT_EQ(r.ReadString("DllPath"), value);
    }
    EXPECT_TRUE(std::filesystem::exists(target + ".lock"));
    EXPECT_EQ(FilesInDir(), std::vector<std::string>{"registry.reg"});
}

// A pipe under the store's name or its lock's never holds a reader or a
// writer, and another user's link in a shared folder never takes the user's
// settings to another file: reads see no store, writes are refused by name.
TEST_F(RegistryStore, PipesAndOtherUsersLinksNeitherHoldNorRedirectIt) {
    testing_support::HangGuard guard(20);
    ASSERT_EQ(mkfifo(store.c_str(), 0600), 0);
    EXPECT_FALSE(KeyExists("\\Software"));
    EXPECT_FALSE(Registry().OpenKey("\\Software\\Vorbel", true));
    EXPECT_EQ(FailedCreate(), store + ": can't read the registry store: Not a regular file");
    std::filesystem::remove(store);
    std::filesystem::remove(store + ".lock");
    ASSERT_EQ(mkfifo((store + ".lock").c_str(), 0600), 0);
    EXPECT_FALSE(KeyExists("\\Software"));
    EXPECT_EQ(FailedWrite("New"), "no key");
    EXPECT_FALSE(Registry().OpenKey("\\Software\\Vorbel", true));
    EXPECT_EQ(FailedCreate(), store + ": can't lock the registry store: Not a regular file");
    EXPECT_FALSE(std::filesystem::exists(store));
    std::filesystem::remove(store + ".lock");

    if (geteuid() != 0) return;  // only root can plant another user's link
    testing_support::TempDir victim;
    const std::string secret = victim.file("registry.reg");
    WriteFile(secret, "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software]\n\n");
    std::filesystem::permissions(dir.path(), std::filesystem::perms::all | std::filesystem::perms::sticky_bit);
    std::filesystem::create_symlink(secret, store);
    ASSERT_EQ(lchown(store.c_str(), 4242, 4242), 0);
    EXPECT_FALSE(KeyExists("\\Software"));
    EXPECT_FALSE(Registry().OpenKey("\\Software\\Vorbel", true));
    EXPECT_EQ(FailedCreate(), store + ": can't use the registry store: A link of another user in a shared folder");
    EXPECT_EQ(ReadFile(secret), "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software]\n\n");
    EXPECT_FALSE(std::filesystem::exists(secret + ".lock"));
}

TEST_F(RegistryStore, AKeyAndItsFirstValueAreMadeInOneChange) {
    Registry r;
    EXPECT_TRUE(r.OpenOrCreateKey("Software\\Vorbel", {"DllPath", platform::RegSz, "/opt/"}));
    EXPECT_EQ(ReadFile(store), "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software]\n\n"
                               "[HKEY_CURRENT_USER\\Software\\Vorbel]\n\"DllPath\"=\"/opt/\"\n\n");
    EXPECT_EQ(r.ReadString("DllPath"), "/opt/") << "the new key is the open one";
    // An existing key is opened as it is.
    Registry again;
    EXPECT_FALSE(again.OpenOrCreateKey("\\Software\\Vorbel", {"DllPath", platform::RegSz, "/elsewhere/"}));
    EXPECT_EQ(again.ReadString("DllPath"), "/opt/");
    WriteFile(store, "not a store\n");
    EXPECT_THROW(Registry().OpenOrCreateKey("\\Software\\Vorbel", {"DllPath", platform::RegSz, "/x/"}),
                 RegistryError);
    EXPECT_EQ(ReadFile(store), "not a store\n");
}

}  // namespace
