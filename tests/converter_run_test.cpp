// Whole conversions through the real windows, offscreen: File > Open, Run,
// the bounds typed in, stations unticked, OK; the three files compared byte for
// byte with plain references made from the formats, and the process log line
// for line. Then the ways a run ends early, and what each leaves on disk.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>

#include "Ame.h"
#include "Bitmaps.h"
#include "Input.h"
#include "Locales.h"
#include "Main.h"
#include "MainFormSuite.h"
#include "PlainReference.h"
#include "LibraryBinding.h"
#include "TestSupport.h"
#include "platform/Module.h"
#include "platform/ModuleNames.h"

namespace {

namespace fs = std::filesystem;
using platform::MessageBoxCall;
using strova::AmeRecord;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

const std::string kMap = "kanto_sample";
// The sample map's bounds as its description gives them.
constexpr double kLeft = 138.4, kBottom = 34.8, kRight = 141.0, kTop = 37.2;

std::string Format(const char* format, auto... values) {
    char line[256];
    std::snprintf(line, sizeof line, format, values...);
    return line;
}

std::string Bytes(const void* data, std::size_t size) { return std::string(static_cast<const char*>(data), size); }

// The library's stations inside the sample map's bounds, mapped to its pixels,
// straight from the station-location file's description.
std::vector<AmeRecord> LibraryStationsOnTheMap(int width, int height) {
    auto lon = platform::Resolve<double (*)(int)>(strova::VorbelModule, "GetAMeDASLongitude");
    auto lat = platform::Resolve<double (*)(int)>(strova::VorbelModule, "GetAMeDASLatitude");
    auto volume = platform::Resolve<int (*)(int)>(strova::VorbelModule, "GetAMeDASVolume");
    auto pron = platform::Resolve<char* (*)(int, char*)>(strova::VorbelModule, "GetAMeDASPron");
    auto belong = platform::Resolve<char* (*)(int, char*)>(strova::VorbelModule, "GetAMeDASBelongPron");
    std::vector<AmeRecord> stations;
    for (int i = 0; i < 842; ++i) {
        const double x = lon(i), y = lat(i);
        if (x < kLeft || x > kRight || y < kBottom || y > kTop) continue;
        AmeRecord r;
        std::memset(&r, 0, sizeof r);
        r.X = static_cast<std::int32_t>((x - kLeft) * (width / (kRight - kLeft)) + 0.5);
        r.Y = static_cast<std::int32_t>((y - kBottom) * (height / (kTop - kBottom)) + 0.5);
        r.CD = static_cast<std::int16_t>(volume(i));
        r.Id = static_cast<std::int16_t>(i + 1);
        char text[52] = {};
        std::strncpy(r.Name, pron(i, text), 19);
        std::memset(text, 0, sizeof text);
        std::string prefecture = belong(i, text);
        if (prefecture.find(' ') != std::string::npos)
            std::strncpy(r.Belong, prefecture.substr(0, prefecture.find(' ')).c_str(), 11);
        stations.push_back(r);
    }
    return stations;
}

// The header block of the process log, from the bitmap's own bytes.
std::vector<std::string> HeaderLines(const std::string& path, std::uint32_t gray) {
    const std::string b = ReadFile(path);
    auto u16 = [&](int at) { return unsigned(std::uint8_t(b[at]) | std::uint8_t(b[at + 1]) << 8); };
    auto u32 = [&](int at) { return std::uint32_t(u16(at) | u16(at + 2) << 16); };
    const long width = std::int32_t(u32(18)), height = std::int32_t(u32(22));
    return {"[Bitmap File]" + path,
            Format("Bitmap File Type: %u (\"BM\" = 19778)", u16(0)),
            Format("Bitmap File Size: %lu bytes", (unsigned long)u32(2)),
            Format("     bfReserved1: %u", u16(6)),
            Format("     bfReserved2: %u", u16(8)),
            Format("   Bitmap Offset: %lu byte later", (unsigned long)u32(10)),
            Format("Info Header Size: %lu bytes", (unsigned long)u32(14)),
            Format("Bmp Image  Width: %ld pixel", width),
            Format("Bmp Image Height: %ld pixels", height),
            Format("Bmp Image   Size: %ld pixels", width * height),
            Format("Required BmpSize: %ld bytes for 24 bit Color", width * height * 3),
            Format("Bmp Color Planes: %u (Always 1)", u16(26)),
            Format("Pixel Color Bits: %u (One of 0, 1, 4, 8, 24)", u16(28)),
            Format(" Compress Method: %u (0: No compression)", (unsigned)u32(30)),
            Format("Recorded BmpSize: %lu bytes (0: default)", (unsigned long)u32(34)),
            Format("Horizontal Resol: %ld pixels per meter (0: default)", (long)std::int32_t(u32(38))),
            Format("  Vertical Resol: %ld pixels per meter (0: default)", (long)std::int32_t(u32(42))),
            Format("     Used Colors: %lu (0: default)", (unsigned long)u32(46)),
            Format("Used Imp. Colors: %lu (0: default)", (unsigned long)u32(50)),
            Format("     Gray Pixels: %lu", (unsigned long)gray)};
}

// What a complete run of the sample map must leave, made by the references.
struct Expected {
    std::string ame, dat, cfg;
    std::vector<std::string> log;
};

class RunTest : public testing_support::MainFormSuite {
protected:
    void SetUp() override {
        home = fs::current_path();
        fs::current_path(dir.path());
        fs::copy_file(testing_support::SourceDir() + "/resources/maps/" + kMap + ".bmp", bitmap);
        platform::SetMessageBoxHook([this](const MessageBoxCall& call) {
            boxes.push_back(call);
            return platform::IDOK;
        });
        platform::SetModalFormHook([this](QWidget* form) { OnModal(form); });
    }
    void TearDown() override {
        platform::SetMessageBoxHook(nullptr);
        platform::SetModalFormHook(nullptr);
        fs::current_path(home);
    }

    // Acts on each modal window as the user of the test would.
    void OnModal(QWidget* form) {
        if (auto* open = qobject_cast<QFileDialog*>(form)) {
            open->selectFile(QString::fromStdString(toOpen));
            static_cast<QDialog*>(open)->accept();  // QFileDialog::accept checks the file
        } else if (auto* bounds = qobject_cast<TInputDialog*>(form)) {
            ++boundsDialogs;
            onBounds(bounds);
        } else if (auto* stations = qobject_cast<TAmeForm*>(form)) {
            onStations(stations);
        }
    }

    static void Type(QLineEdit* edit, const QString& keys) {
        edit->selectAll();
        QKeyEvent erase(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier, "\b");
        QApplication::sendEvent(edit, &erase);
        for (QChar c : keys) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(edit, &press);
        }
    }
    static void TypeSampleBounds(TInputDialog* dialog) {
        Type(dialog->LongitEd1, "138.4");
        Type(dialog->LatitEd1, "34.8");
        Type(dialog->LongitEd2, "141.0");
        Type(dialog->LatitEd2, "37.2");
        dialog->BBtnOk->click();
    }
    static void UntickTwo(TAmeForm* form) {
        if (form->Boxes.size() < 2) {
            ADD_FAILURE() << "only " << form->Boxes.size() << " additional stations";
            return form->BBtnCancel->click();
        }
        form->Boxes[0]->click();
        form->Boxes[1]->click();
        form->BBtnOk->click();
    }

    // File > Open through its dialog, once per test: the dialog's file list
    // fills in the background and would not yet show files made since.
    void OpenWithTheDialog(const std::string& path) {
        toOpen = path;
        main->FileOpenMenuClick();
    }
    // The bitmap chosen, then Run.
    void Run(const std::string& path) {
        main->OpenBitmap(path);
        ASSERT_TRUE(main->RunBtn->isEnabled());
        main->RunBtn->click();
    }

    std::vector<std::string> LogLines() const {
        std::vector<std::string> lines;
        for (const QString& line : main->ProcessLog->toPlainText().split('\n')) lines.push_back(line.toStdString());
        if (lines.size() == 1 && lines[0].empty()) lines.clear();
        return lines;
    }
    std::vector<std::string> BoxTexts() const {
        std::vector<std::string> texts;
        for (const MessageBoxCall& box : boxes) texts.push_back(box.text);
        return texts;
    }
    // The end of a run that gave up: nothing in the log, lamps off, both commands on.
    void ExpectGivenUp() const {
        EXPECT_TRUE(LogLines().empty());
        for (QToolButton* lamp : {main->Signal1, main->Signal2, main->Signal3}) EXPECT_FALSE(lamp->isEnabled());
        for (QLabel* label : {main->Text1, main->Text2, main->Text3})
            EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(Qt::black));
        EXPECT_TRUE(main->FileOpenBtn->isEnabled());
        EXPECT_TRUE(main->RunBtn->isEnabled());
        EXPECT_EQ(main->ProgBar->value(), 0);
    }

    static Expected MakeExpected(const std::string& bitmapPath);
    // The confirmation, the three files and the log of a first complete run.
    void ExpectSampleRun(const Expected& expected) const {
        EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Left Bottom : (138.400000, 34.800000)\r"
                                                       "  Right Top : (141.000000, 37.200000)\rIs this setting Ok?"});
        EXPECT_EQ(ReadFile(kMap + ".ame"), expected.ame);
        EXPECT_EQ(ReadFile(kMap + "_a.dat"), expected.dat);
        EXPECT_TRUE(ReadFile(kMap + ".cfg") == expected.cfg) << "the *.cfg file differs from the plain reference";
        EXPECT_EQ(LogLines(), expected.log);
    }

    fs::path home;
    TempDir dir;
    std::string bitmap = dir.file(kMap + ".bmp");
    std::string toOpen;
    int boundsDialogs = 0;
    std::function<void(TInputDialog*)> onBounds = TypeSampleBounds;
    std::function<void(TAmeForm*)> onStations = UntickTwo;
    std::vector<MessageBoxCall> boxes;
};

Expected RunTest::MakeExpected(const std::string& bitmapPath) {
    Expected e;
    std::uint32_t gray = 0;
    EXPECT_TRUE(plain::ScanGrayPixels(bitmapPath, "plain.loc", gray));
    const std::string pixelBytes = ReadFile("plain.loc");
    std::vector<strova::PixelRecord> pixels(pixelBytes.size() / 8);
    std::memcpy(pixels.data(), pixelBytes.data(), pixelBytes.size());
    int internal = 0;
    std::vector<AmeRecord> selected = plain::PlaceStations(pixels, LibraryStationsOnTheMap(800, 800), internal);
    // The first two additional stations were unticked.
    selected.erase(selected.begin() + internal, selected.begin() + internal + 2);
    const int total = static_cast<int>(selected.size());

    e.ame = Bytes(selected.data(), selected.size() * sizeof(AmeRecord));
    e.dat = kMap + "\r\n" + Format("%3d", total) + "\r\n";
    for (const AmeRecord& s : selected) e.dat += Format("0.0       %2d %3d %-18s", s.CD, s.Id, s.Name) + "\r\n";
    EXPECT_TRUE(plain::WriteCfg(selected, "plain.loc", "plain.cfg"));
    e.cfg = ReadFile("plain.cfg");

    e.log = HeaderLines(bitmapPath, gray);
    e.log.push_back(Format("Longitude(X) and Latitude(Y): (%lf,%lf)-(%lf,%lf)", kLeft, kBottom, kRight, kTop));
    e.log.insert(e.log.end(), {"--- Step 1: Normally processed.", " ", "AMeDAS stations for this map",
                               Format("     Total number: %-3d", total), Format("  Internal number: %-3d", internal),
                               Format("Additional number: %-3d", total - internal),
                               "CD Id Name                    ( X-pixel,  Y-pixel)"});
    for (const AmeRecord& s : selected)
        e.log.push_back(Format("%1d %3d %-24s(%8ld, %8ld)", s.CD, s.Id, s.Name, long(s.X), long(s.Y)));
    e.log.insert(e.log.end(), {"These data were saved in: ./" + kMap + ".ame as a binary file",
                               "                          ./" + kMap + "_a.dat as a text file",
                               "The former is important to run Tessadyn!",
                               "The Later is useful to prepare potential data by yourself.",
                               "--- Step 2: Normally processed.", " ", "File: ./" + kMap + ".cfg created.",
                               "--- Step 3: Normally processed.", " "});
    fs::remove("plain.loc");
    fs::remove("plain.cfg");
    return e;
}

TEST_F(RunTest, TheSampleMapBecomesItsThreeFiles) {
    const Expected expected = MakeExpected(bitmap);
    OpenWithTheDialog(bitmap);
    EXPECT_EQ(main->BmpFile, bitmap);
    ASSERT_TRUE(main->RunBtn->isEnabled());
    main->RunMenu->trigger();
    ExpectSampleRun(expected);
    for (QToolButton* lamp : {main->Signal1, main->Signal2, main->Signal3}) EXPECT_TRUE(lamp->isEnabled());
    for (QLabel* label : {main->Text1, main->Text2, main->Text3})
        EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(128, 0, 0));
    EXPECT_TRUE(main->ListBtn->isEnabled());
    EXPECT_TRUE(main->FileOpenBtn->isEnabled());
    EXPECT_FALSE(main->RunBtn->isEnabled());
    EXPECT_GT(main->TotalCount, 10);

    // A second run of the same map backs up all three files; the *.ame and the
    // *.cfg backup lie in one folder and keep apart. Each backup is the earlier
    // file as the system copies it: its times and its mode kept.
    const std::string firstAme = ReadFile(kMap + ".ame"), firstCfg = ReadFile(kMap + ".cfg");
    std::map<std::string, fs::file_time_type> written;
    for (const std::string& name : {kMap + ".ame", kMap + "_a.dat", kMap + ".cfg"}) {
        fs::last_write_time(name, fs::last_write_time(name) - std::chrono::hours(24));
        written[name] = fs::last_write_time(name);
    }
    fs::permissions(kMap + ".ame", fs::perms::owner_read | fs::perms::owner_write);
    boxes.clear();
    onStations = [](TAmeForm* form) { form->BBtnOk->click(); };
    Run(bitmap);
    ASSERT_EQ(boxes.size(), 4u);
    EXPECT_EQ(boxes[1].text, "An old file having the same name\ras the file to be created found.\r"
                             "The old one was renamed as a backup.\rCreated File : <./" + kMap + ".ame>\r"
                             " Backup File : <./" + kMap + ".bak>");
    EXPECT_EQ(boxes[1].caption, "Strova - Warning");
    EXPECT_EQ(boxes[1].flags, 0x40u);
    EXPECT_EQ(boxes[3].text.substr(boxes[3].text.find("Created")),
              "Created File : <./" + kMap + ".cfg>\r Backup File : <./" + kMap + ".cfg.bak>");
    EXPECT_EQ(ReadFile(kMap + ".bak"), firstAme);
    EXPECT_EQ(ReadFile(kMap + ".cfg.bak"), firstCfg);
    EXPECT_EQ(ReadFile(kMap + "_a.bak"), expected.dat);
    EXPECT_GT(ReadFile(kMap + ".ame").size(), firstAme.size());  // nothing unticked this time
    EXPECT_EQ(fs::last_write_time(kMap + ".bak"), written[kMap + ".ame"]);
    EXPECT_EQ(fs::last_write_time(kMap + "_a.bak"), written[kMap + "_a.dat"]);
    EXPECT_EQ(fs::last_write_time(kMap + ".cfg.bak"), written[kMap + ".cfg"]);
    EXPECT_EQ(fs::status(kMap + ".bak").permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(fs::status(kMap + ".ame").permissions(), fs::perms::owner_read | fs::perms::owner_write);
}

// A user in a decimal-comma or a Japanese locale gets the same files, the
// same confirmation and the same log as one in the C locale.
TEST_F(RunTest, EveryLocaleGivesTheSameBytes) {
    const Expected expected = MakeExpected(bitmap);
    onBounds = [](TInputDialog* dialog) {
        TypeSampleBounds(dialog);
        if (dialog->isVisible()) dialog->reject();  // bounds it did not take end the run
    };
    for (const char* name : testing_support::UserLocales) {
        SCOPED_TRACE(name);
        testing_support::ScopedLocale locale(name);
        for (const char* made : {".ame", "_a.dat", ".cfg"}) fs::remove(kMap + made);
        boxes.clear();
        Run(bitmap);
        ExpectSampleRun(expected);
    }
}

TEST_F(RunTest, CancelledBoundsLeaveOnlyThePixelFile) {
    onBounds = [](TInputDialog* dialog) { dialog->BBtnCancel->click(); };
    Run(bitmap);
    ExpectGivenUp();
    EXPECT_TRUE(boxes.empty());
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(".")) left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{kMap + ".bmp", "tmp_$$$.loc"}));
}

// A cancelled step leaves every earlier file alone and tells of no backup;
// an output another program changed while the window was open keeps that
// program's bytes and file.
TEST_F(RunTest, CancelledStationWindowLeavesEveryFileAlone) {
    WriteFile(kMap + ".ame", "earlier ame");
    WriteFile(kMap + "_a.dat", "earlier list");
    onStations = [](TAmeForm* form) {
        WriteFile(kMap + ".ame", "another program's ame");
        fs::create_hard_link(kMap + ".ame", "linked.ame");
        form->BBtnCancel->click();
    };
    Run(bitmap);
    ExpectGivenUp();
    ASSERT_EQ(boxes.size(), 1u);  // the confirmation of the bounds
    EXPECT_EQ(ReadFile(kMap + ".ame"), "another program's ame");
    EXPECT_EQ(fs::hard_link_count(kMap + ".ame"), 2u);
    EXPECT_EQ(ReadFile(kMap + "_a.dat"), "earlier list");
    EXPECT_FALSE(fs::exists(kMap + ".bak"));
    EXPECT_FALSE(fs::exists(kMap + "_a.bak"));
}

TEST_F(RunTest, CancelledStationWindowDeletesNewFiles) {
    onStations = [](TAmeForm* form) { form->close(); };
    Run(bitmap);
    ExpectGivenUp();
    EXPECT_FALSE(fs::exists(kMap + ".ame"));
    EXPECT_FALSE(fs::exists(kMap + "_a.dat"));
}

TEST_F(RunTest, AnUnopenableCfgKeepsTheStationFiles) {
    main->OpenBitmap(bitmap);
    main->CfgFile = "./missing/" + kMap + ".cfg";
    main->RunBtn->click();
    ExpectGivenUp();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, "File :./missing/" + kMap + ".cfg\r\ncan't open.\r\nNo such file or directory\r\nStep 3 was given up and changed "
                             "nothing.\r\nThe files of Step 2 were written:\r\n<./" + kMap + ".ame>\r\n<./" + kMap +
                             "_a.dat>");
    EXPECT_EQ(boxes[1].caption, "CfgData Error");
    EXPECT_EQ(ReadFile(kMap + ".ame").size() % 44, 0u);
    EXPECT_GT(ReadFile(kMap + ".ame").size(), 0u);
    EXPECT_EQ(ReadFile(kMap + "_a.dat").substr(0, kMap.size() + 2), kMap + "\r\n");
    EXPECT_FALSE(fs::exists("missing"));
}

// Step 3 says what became of the run: step 2's files are written.
TEST_F(RunTest, AFailedBackupStopsTheStepBeforeAnythingIsOverwritten) {
    fs::create_directory(kMap + ".cfg");  // exists, but can't be copied to a backup
    Run(bitmap);
    ExpectGivenUp();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, "The old file can't be copied to its backup.\rOld File : <./" + kMap +
                                 ".cfg>\rBackup File : <./" + kMap + ".cfg.bak>\rIs a directory\r"
                                 "Step 3 was given up and changed nothing.\rThe files of Step 2 were written:\r<./" +
                                 kMap + ".ame>\r<./" + kMap + "_a.dat>");
    EXPECT_EQ(boxes[1].caption, "Strova - Error");
    EXPECT_TRUE(fs::is_directory(kMap + ".cfg"));
    EXPECT_TRUE(fs::exists(kMap + ".ame"));
}

TEST_F(RunTest, BadBitmapsEndTheRunInStepOne) {
    WriteFile("palette.bmp", testing_support::MakeGrayBitmap(4, 4, [](int, int) { return true; }, 8));
    Run(dir.file("palette.bmp"));
    ExpectGivenUp();
    WriteFile("cut.bmp", testing_support::MakeGrayBitmap(4, 4, [](int, int) { return true; }).substr(0, 54 + 12 + 6));
    Run(dir.file("cut.bmp"));
    ExpectGivenUp();
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"This is not 24 bits hi-\rresolution color bitmap.",
                                                    "Failed to read the bitmap file\r<" + dir.file("cut.bmp") + ">."}));
    EXPECT_EQ(ReadFile("tmp_$$$.loc").size(), 6u * 8);  // the first row and two pixels
    EXPECT_EQ(boundsDialogs, 0);
}

// Files a run left in the test's folder, bitmaps aside.
std::vector<std::string> FilesLeft() {
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator("."))
        if (entry.path().extension() != ".bmp") left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    return left;
}

// A picture the later steps could not convert ends step 1 with its reason,
// in the user's language, before the bounds are asked for.
TEST_F(RunTest, UnconvertiblePicturesAreRefusedInStepOne) {
    const std::string land = testing_support::MakeGrayBitmap(4, 4, [](int x, int) { return x == 1; });
    const auto with = [&](std::size_t offset, std::int32_t value) {
        std::string bytes = land;
        std::memcpy(&bytes[offset], &value, 4);
        return bytes;
    };
    struct Case {
        std::string name, bytes, english, japanese;
        std::vector<std::string> left;
    };
    const std::string tmp = "tmp_$$$.loc";
    const std::vector<Case> cases{
        {"rle.bmp", with(30, 1), "is compressed (method 1).\rOnly uncompressed bitmaps can be read.",
         "は圧縮されています (方式 1)．\r非圧縮のﾋﾞｯﾄﾏｯﾌﾟだけを読めます．", {}},
        {"empty.bmp", with(18, 0), "has an invalid size of 0 x 4 pixels.", "の大きさ 0 x 4 ﾋﾟｸｾﾙは不正です．", {}},
        {"mirror.bmp", with(18, -4), "has an invalid size of -4 x 4 pixels.", "の大きさ -4 x 4 ﾋﾟｸｾﾙは不正です．", {}},
        {"flat.bmp", with(22, 0), "has an invalid size of 4 x 0 pixels.", "の大きさ 4 x 0 ﾋﾟｸｾﾙは不正です．", {}},
        {"wide.bmp", with(18, 32768), "is 32768 x 4 pixels and lies beyond pixel 32767,\rwhich a *.cfg file can't hold.",
         "は 32768 x 4 ﾋﾟｸｾﾙで，ﾋﾟｸｾﾙ 32767 を超えています．\r*.cfg ﾌｧｲﾙには収まりません．", {}},
        {"tall.bmp", with(22, -40000), "is 4 x -40000 pixels and lies beyond pixel 32767,\rwhich a *.cfg file can't hold.",
         "は 4 x -40000 ﾋﾟｸｾﾙで，ﾋﾟｸｾﾙ 32767 を超えています．\r*.cfg ﾌｧｲﾙには収まりません．", {}},
        // The scan ran: its (empty) pixel file stays until the window closes.
        {"sea.bmp", testing_support::MakeGrayBitmap(4, 4, [](int, int) { return false; }),
         "has no gray (RGB 192,192,192) pixel.\rThere is no land to convert.",
         "には灰色 (RGB 192,192,192) のﾋﾟｸｾﾙがありません．\r変換する陸地がありません．", {tmp}},
    };
    for (const bool japanese : {false, true}) {
        main->JPMode = japanese;
        for (const Case& c : cases) {
            fs::remove(tmp);
            boxes.clear();
            WriteFile(c.name, c.bytes);
            Run(dir.file(c.name));
            ExpectGivenUp();
            ASSERT_EQ(boxes.size(), 1u) << c.name;
            const std::string file = japanese ? "ﾋﾞｯﾄﾏｯﾌﾟﾌｧｲﾙ <" : "Bitmap file <";
            EXPECT_EQ(boxes[0].text, file + dir.file(c.name) + ">\r" + (japanese ? c.japanese : c.english));
            EXPECT_EQ(boxes[0].caption, "Strova - Error");
            EXPECT_EQ(boxes[0].flags, 0x10u);
            EXPECT_EQ(FilesLeft(), c.left) << c.name;
            if (!c.left.empty()) { EXPECT_EQ(ReadFile(tmp), "") << c.name; }
        }
    }
    main->JPMode = false;
    EXPECT_EQ(boundsDialogs, 0);
}

// The same picture stored top-down, with a colour table before its rows, or
// as other programs write it gives the same pixel file, *.ame, *_a.dat, *.cfg
// and log lines after the header dump.
TEST_F(RunTest, EveryStoreOfAPictureGivesTheSameFiles) {
    std::vector<std::string> heights;
    onBounds = [&](TInputDialog* dialog) {
        heights.push_back(dialog->HeightTxt->text().toStdString());
        TypeSampleBounds(dialog);
    };
    onStations = [](TAmeForm* form) { form->BBtnOk->click(); };
    const auto runOf = [&](const std::string& path) {
        boxes.clear();
        Run(path);
        std::vector<std::string> log = LogLines();
        EXPECT_GT(log.size(), 20u) << path;
        log.erase(log.begin(), log.begin() + std::min<std::size_t>(log.size(), 20));  // the header dump
        return std::vector<std::string>{ReadFile("tmp_$$$.loc"), ReadFile(kMap + ".ame"), ReadFile(kMap + "_a.dat"),
                                        ReadFile(kMap + ".cfg"), testing::PrintToString(log)};
    };
    const char* const kWhat[] = {"pixel file", "*.ame", "*_a.dat", "*.cfg", "log"};
    const std::vector<std::string> expected = runOf(bitmap);
    ASSERT_GT(expected[0].size(), 0u);

    fs::create_directory("tools");
    ASSERT_TRUE(testing_support::WriteWithImageMagick(bitmap, "tools/magick.bmp")) << "ImageMagick";
    ASSERT_TRUE(testing_support::WriteWithImageMagick(bitmap, "BMP3:tools/magick3.bmp")) << "ImageMagick";
    ASSERT_TRUE(testing_support::WriteWithPil(bitmap, "tools/pil.bmp")) << "PIL";
    const std::string original = ReadFile(bitmap), magick = ReadFile("tools/magick.bmp");
    ASSERT_EQ(magick.substr(14, 4), std::string("\x7C\0\0\0", 4));  // the 124-byte header
    ASSERT_EQ(ReadFile("tools/magick3.bmp").substr(14, 4), std::string("\x28\0\0\0", 4));
    std::string table;
    for (int i = 0; i < 256; ++i) table += {char(i), char(i), char(i), '\0'};  // a gray ramp, 192 among them
    const std::vector<std::pair<std::string, std::string>> copies{
        {"top-down", testing_support::TopDownCopy(original)},
        {"colour table", testing_support::CopyWithGap(original, table)},
        {"top-down with colour table", testing_support::TopDownCopy(testing_support::CopyWithGap(original, table))},
        {"ImageMagick", magick},
        {"ImageMagick top-down", testing_support::TopDownCopy(magick)},
        {"ImageMagick BMP3 with colour table", testing_support::CopyWithGap(ReadFile("tools/magick3.bmp"), table)},
        {"PIL top-down", testing_support::TopDownCopy(ReadFile("tools/pil.bmp"))},
    };
    fs::create_directory("copy");
    for (const auto& [name, bytes] : copies) {
        WriteFile("copy/" + kMap + ".bmp", bytes);
        const std::vector<std::string> got = runOf(dir.file("copy/" + kMap + ".bmp"));
        for (std::size_t i = 0; i < got.size(); ++i)  // no dump of a whole file when they differ
            EXPECT_TRUE(got[i] == expected[i]) << name << ": the " << kWhat[i] << " differs";
    }
    EXPECT_EQ(heights, std::vector<std::string>(copies.size() + 1, "   800 "));
}

TEST_F(RunTest, ASecondRunCantStartInsideTheFirst) {
    onBounds = [this](TInputDialog* dialog) {
        if (boundsDialogs == 1) {
            main->RunMenu->trigger();  // a queued Run, while the first run waits for the bounds
            main->close();
        }
        dialog->BBtnCancel->click();
    };
    Run(bitmap);
    EXPECT_EQ(boundsDialogs, 1);
    EXPECT_TRUE(fs::exists("tmp_$$$.loc"));  // closing was refused while the run went on
    ExpectGivenUp();
}

}  // namespace
