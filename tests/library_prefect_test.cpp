// The station-selection map dialog driven through its exports, as a user
// drives it: lists, pins, label buttons, OK and CANCEL; and with a damaged
// or missing map resource library.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QEnterEvent>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "Ameinfo.h"
#include "DistrictMap.h"
#include "Library.h"
#include "Locales.h"
#include "Prefect.h"
#include "ScreenProbes.h"
#include "TestSupport.h"
#include "platform/Module.h"
#include "platform/ModuleNames.h"
#include "platform/Resources.h"
#include "platform/forms/Application.h"
#include "vorbel/MapDialog.h"
#include "vorbel/Pin.h"

namespace {

using testing_support::TempDir;

class MapDialog : public ::testing::Test {
protected:
    void SetUp() override {
        vorbel::App();
        platform::SetMessageBoxHook([this](const platform::MessageBoxCall& call) {
            messages.push_back(call);
            return platform::IDOK;
        });
    }
    void TearDown() override {
        platform::SetModalFormHook(nullptr);
        platform::SetMessageBoxHook(nullptr);
        vorbel::ResourceLibraryName = platform::ResourceLibraryFileName;
    }

    // Runs `act` on the dialog once it is shown.
    void OnShow(std::function<void(TFmPrefect&)> act) {
        platform::SetModalFormHook([act](QWidget* form) {
            auto* dialog = dynamic_cast<TFmPrefect*>(form);
            ASSERT_NE(dialog, nullptr);
            act(*dialog);
        });
    }

    static void Choose(QComboBox* combo, int item) {
        combo->setCurrentIndex(item);
        emit combo->activated(item);
    }

    static std::vector<std::string> Items(QComboBox* combo) {
        std::vector<std::string> items;
        for (int k = 0; k < combo->count(); ++k) items.push_back(combo->itemText(k).toStdString());
        return items;
    }

    static vorbel::MapInfo Info(int id) {
        platform::ModuleHandle bruvik = platform::LoadModule(std::string(vorbel::LibraryFolder()) + platform::ResourceLibraryFileName);
        char text[vorbel::MapInfoBufferSize];
        platform::LoadResourceString(bruvik, id, text, sizeof text);
        platform::UnloadModule(bruvik);
        vorbel::MapInfo info;
        EXPECT_EQ(vorbel::ParseMapInfo(text, info), 8) << id;
        return info;
    }

    // The pin of station `id` stands on its pixel by the bounds of string `info`.
    static void ExpectPlacedBy(TFmPrefect& d, int slot, int id, const vorbel::MapInfo& info) {
        TPin* pin = d.PinOfSlot(slot);
        ASSERT_NE(pin, nullptr) << "slot " << slot;
        EXPECT_EQ(pin->property("Tag").toInt(), id);
        vorbel::Pixel p = vorbel::PixelOf(info, GetAMeDASLongitude(id - 1), GetAMeDASLatitude(id - 1));
        EXPECT_EQ(pin->AnchorX(), p.X) << id;
        EXPECT_EQ(pin->AnchorY(), p.Y) << id;
    }

    static int PinsOn(TFmPrefect& d) {
        int pins = 0;
        for (QWidget* child : d.Panel->findChildren<QWidget*>()) pins += dynamic_cast<TPin*>(child) != nullptr;
        return pins;
    }

    // Every label button is stacked above every pin, so no pin head hides a
    // label.
    static void ExpectButtonsAbovePins(TFmPrefect& d) {
        int lastPin = -1, firstButton = -1;
        const QObjectList& stack = d.Panel->children();  // bottom to top
        for (int k = 0; k < stack.size(); ++k) {
            if (dynamic_cast<TPin*>(stack[k])) lastPin = k;
            if (firstButton < 0 && dynamic_cast<QPushButton*>(stack[k])) firstButton = k;
        }
        ASSERT_GE(lastPin, 0);
        EXPECT_LT(lastPin, firstButton);
    }

    std::vector<platform::MessageBoxCall> messages;
};

TEST_F(MapDialog, EveryWayOfCancellingGivesTheCancelValue) {
    const std::vector<std::function<void(TFmPrefect&)>> cancels = {
        [](TFmPrefect& d) { d.BtnCan->click(); },
        [](TFmPrefect& d) {
            QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(&d, &esc);
        },
        [](TFmPrefect& d) { d.close(); },
        [](TFmPrefect& d) {  // CANCEL is the default button
            QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            QApplication::sendEvent(&d, &enter);
        },
    };
    for (const auto& cancel : cancels) {
        bool slotSeen = false;
        OnShow([&](TFmPrefect& d) {
            slotSeen = _FmPrefect == &d;
            cancel(d);
        });
        EXPECT_EQ(_FmPrefect, nullptr);
        EXPECT_EQ(SelectDlg(true), 999);
        EXPECT_TRUE(slotSeen);
        EXPECT_EQ(_FmPrefect, nullptr);
        EXPECT_EQ(SelectDlg2(4001, false), 999);
        EXPECT_EQ(MapDlg(), 999);
        EXPECT_EQ(MapDlg2(), 999);
        EXPECT_EQ(_FmPrefect, nullptr);
        OnShow([&](TFmPrefect& d) {
            slotSeen = _FmPrefect != nullptr;
            cancel(d);
        });
        EXPECT_EQ(ExecMapDialog(3005, true), 0);
        EXPECT_FALSE(slotSeen);
    }
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(_AMeDAS, nullptr);
}

TEST_F(MapDialog, OpensOnTokyoInTheChosenLanguage) {
    OnShow([](TFmPrefect& d) {
        EXPECT_EQ(d.windowTitle(), "Select one of the AMeDAS Stations");
        EXPECT_EQ(d.objectName(), "FmPrefect");
        EXPECT_FALSE(d.windowIcon().isNull());
        EXPECT_EQ(d.size(), QSize(700, 583));
        EXPECT_EQ(d.minimumSize(), QSize(700, 583));
        EXPECT_EQ(d.CmbDistrict->currentText(), "Kanto");
        EXPECT_EQ(d.CmbPrefecture->currentIndex(), 4);
        EXPECT_EQ(d.CmbPrefecture->currentText(), "Tokyo");
        EXPECT_EQ(d.CmbLocation->currentText(), "Ogochi");
        EXPECT_EQ(d.CmbLocation->count(), 12);
        EXPECT_FALSE(d.BtnOk->isEnabled());
        EXPECT_EQ(d.StxtResult->text(), "");
        EXPECT_EQ(d.LblPrefecture->toolTip(), "Name of Pref. or Subpref.");
        EXPECT_EQ(d.BtnCan->statusTip(), "Ignore the edit result and close this dialog.");
        EXPECT_NE(_AMeDAS, nullptr);
        d.BtnCan->click();
    });
    EXPECT_EQ(SelectDlg(true), 999);
    OnShow([](TFmPrefect& d) {
        EXPECT_EQ(d.CmbDistrict->currentText(), "関東");
        EXPECT_EQ(d.CmbPrefecture->currentText(), "東京");
        EXPECT_EQ(d.CmbLocation->currentText(), "小河内");
        EXPECT_EQ(d.BtnCan->toolTip(), "ｷｬﾝｾﾙ");
        EXPECT_EQ(d.LblLocation->text(), "&Location");
        d.BtnCan->click();
    });
    EXPECT_EQ(MapDlg(), 999);
}

TEST_F(MapDialog, SelectionByListPinAndLabelButton) {
    OnShow([](TFmPrefect& d) {
        Choose(d.CmbLocation, 5);  // Tokyo, ID 363
        EXPECT_EQ(d.StxtResult->text(), "No.363 (Tokyo)");
        EXPECT_TRUE(d.BtnOk->isEnabled());
        EXPECT_EQ(d.CmbLocation->currentIndex(), 5);
        d.ButtonOfSlot(2)->click();  // Nerima
        EXPECT_EQ(d.CmbLocation->currentIndex(), 2);
        EXPECT_EQ(d.StxtResult->text(), "No.360 (Nerima)");
        d.PinOfSlot(9)->OnClick(d.PinOfSlot(9));  // Miyakejima, in an inset
        EXPECT_EQ(d.CmbLocation->currentIndex(), 9);
        EXPECT_EQ(d.StxtResult->text(), "No.367 (Miyakejima)");
        d.BtnOk->click();
    });
    EXPECT_EQ(SelectDlg(true), 367);
    OnShow([](TFmPrefect& d) {
        d.ButtonOfSlot(0)->click();
        EXPECT_EQ(d.StxtResult->text(), "No.358 (小河内, ｵｺﾞｳﾁ)");
        EXPECT_EQ(d.ButtonOfSlot(0)->text(), "小河内");
        EXPECT_EQ(d.ButtonOfSlot(0)->toolTip(), "Ogochi");
        d.BtnOk->click();
    });
    EXPECT_EQ(ExecMapDialog(3005, false), 358);
}

// Enter presses the button that has the focus, and CANCEL otherwise.
TEST_F(MapDialog, EnterPressesTheFocusedButton) {
    OnShow([](TFmPrefect& d) {
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(d.ButtonOfSlot(4), &enter);
        EXPECT_EQ(d.StxtResult->text(), "No.362 (Fuchu)");
        ASSERT_TRUE(d.isVisible());
        QApplication::sendEvent(d.BtnOk, &enter);
    });
    EXPECT_EQ(SelectDlg(true), 362);
}

TEST_F(MapDialog, RegionAndDistrictChangesDisableOkButResizeDoesNot) {
    OnShow([](TFmPrefect& d) {
        d.ButtonOfSlot(3)->click();
        ASSERT_TRUE(d.BtnOk->isEnabled());
        d.resize(900, 700);
        QApplication::processEvents();
        EXPECT_TRUE(d.BtnOk->isEnabled());
        EXPECT_EQ(d.StxtResult->text(), "No.361 (Hachioji)");
        EXPECT_EQ(d.CmbLocation->currentIndex(), 3);
        EXPECT_EQ(d.SlotCount(), 12);

        Choose(d.CmbDistrict, 3);  // Chubu
        EXPECT_EQ(d.District(), 4001);
        EXPECT_EQ(d.CmbPrefecture->currentText(), "Nagano");
        EXPECT_EQ(d.CmbLocation->currentIndex(), 0);
        EXPECT_EQ(d.CmbLocation->count(), 29);
        EXPECT_FALSE(d.BtnOk->isEnabled());
        EXPECT_EQ(d.StxtResult->text(), "");

        d.ButtonOfSlot(0)->click();
        Choose(d.CmbPrefecture, 5);  // Niigata
        EXPECT_EQ(d.District(), 4006);
        EXPECT_EQ(d.PinOfSlot(0)->property("Tag").toInt(), 491);
        EXPECT_FALSE(d.BtnOk->isEnabled());
        d.BtnCan->click();
    });
    EXPECT_EQ(SelectDlg(true), 999);
}

TEST_F(MapDialog, InsetStringsPlaceTheirStations) {
    OnShow([](TFmPrefect& d) {
        vorbel::MapInfo own = Info(3005), a = Info(3051), b = Info(3052), c = Info(3053);
        for (int id = 358; id <= 364; ++id) ExpectPlacedBy(d, id - 358, id, own);
        for (int id = 365; id <= 367; ++id) ExpectPlacedBy(d, id - 358, id, a);
        ExpectPlacedBy(d, 368 - 358, 368, b);
        ExpectPlacedBy(d, 369 - 358, 369, c);

        Choose(d.CmbDistrict, 5);
        Choose(d.CmbPrefecture, 3);  // Shimane
        ASSERT_EQ(d.District(), 6004);
        ExpectPlacedBy(d, 0, 638, Info(6041));
        ExpectPlacedBy(d, 1, 639, Info(6041));
        ExpectPlacedBy(d, 2, 640, Info(6004));
        EXPECT_EQ(PinsOn(d), 16);
        EXPECT_EQ(d.Panel->findChildren<QPushButton*>().size(), 16u);
        ExpectButtonsAbovePins(d);  // the inset's pins come last

        Choose(d.CmbDistrict, 6);
        Choose(d.CmbPrefecture, 2);  // Nagasaki
        ExpectPlacedBy(d, 0, 747, Info(7031));
        ExpectPlacedBy(d, 1, 748, Info(7031));
        EXPECT_EQ(PinsOn(d), 14);
        EXPECT_EQ(d.PinOfSlot(757 - 747)->PinStyle()->Length(), 48);

        Choose(d.CmbPrefecture, 6);  // Kagoshima
        ExpectPlacedBy(d, 816 - 799, 816, Info(7007));
        ExpectPlacedBy(d, 817 - 799, 817, Info(7071));
        ExpectPlacedBy(d, 824 - 799, 824, Info(7072));
        Choose(d.CmbPrefecture, 7);  // Okinawa
        ExpectPlacedBy(d, 833 - 825, 833, Info(7081));
        ExpectPlacedBy(d, 836 - 825, 836, Info(7083));
        ExpectPlacedBy(d, 842 - 825, 842, Info(7084));
        EXPECT_EQ(d.CmbLocation->count(), 18);
        d.BtnCan->click();
    });
    EXPECT_EQ(SelectDlg(true), 999);
}

TEST_F(MapDialog, LabelButtonsAndPinsTogether) {
    OnShow([](TFmPrefect& d) {
        int narrow = 0;
        for (int slot = 0; slot < d.SlotCount(); ++slot) {
            TPin* pin = d.PinOfSlot(slot);
            QPushButton* button = d.ButtonOfSlot(slot);
            ASSERT_TRUE(pin && button);
            EXPECT_GE(button->width(), 50);
            EXPECT_EQ(button->height(), 25);
            EXPECT_EQ(button->pos(), QPoint(pin->AnchorX() + pin->ButtonLeft(), pin->AnchorY() + pin->ButtonTop()));
            EXPECT_EQ(pin->PinStyle()->BtnWidth(), button->width());
            QFontMetrics metrics(d.ImgMap->font());
            if (metrics.horizontalAdvance(button->text() + "pp") < 50) ++narrow;
        }
        EXPECT_GT(narrow, 0);  // "Ome" and "Fuchu" get the minimum width
        ExpectButtonsAbovePins(d);
        Choose(d.CmbDistrict, 1);
        Choose(d.CmbPrefecture, 5);  // Fukushima
        EXPECT_EQ(d.PinOfSlot(282 - 280)->PinStyle()->Length(), 36);
        EXPECT_EQ(d.PinOfSlot(0)->PinStyle()->Length(), 24);
        d.BtnCan->click();
    });
    EXPECT_EQ(SelectDlg(true), 999);
}

// Every district picture shows its district: its land in the land tone, the
// land of every other prefecture lighter, and a border or the coast wherever
// the two meet. Hokkaido's pictures show all of Hokkaido in the land tone, as
// there are no subprefecture borders to draw.
TEST_F(MapDialog, PicturesSetTheirDistrictApart) {
    const QRgb own = qRgb(238, 232, 200), other = qRgb(249, 247, 237), frame = qRgb(0, 0, 0);
    auto prefecture = [](int id) { return Which_Pref(id) < 2000 ? 1000 : Which_Pref(id); };
    platform::ModuleHandle bruvik = platform::LoadModule(std::string(vorbel::LibraryFolder()) + platform::ResourceLibraryFileName);
    ASSERT_NE(bruvik, nullptr);
    int stations = 0;
    for (int first = 1; first <= 842; first = Info(Which_Pref(first)).Last + 1) {
        SCOPED_TRACE(Which_Pref(first));
        const vorbel::MapInfo info = Info(Which_Pref(first));
        auto png = platform::LoadResourcePicture(bruvik, "IDB_" + std::to_string(Which_Pref(first)));
        const QImage picture = QImage::fromData(png.data(), static_cast<int>(png.size())).convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(picture.size(), QSize(info.Width, info.Height));
        auto is = [&](int x, int y, QRgb colour) { return picture.valid(x, y) && picture.pixel(x, y) == colour; };
        int touching = 0;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                touching += is(x, y, own) && (is(x + 1, y, other) || is(x, y + 1, other) || is(x - 1, y, other) || is(x, y - 1, other));
        EXPECT_EQ(touching, 0);
        // A station on land by the district's bounds (outside the inset
        // frames) has its prefecture's tone within a few pixels: some stand
        // right at a border.
        for (int id = 1; id <= 842; ++id) {
            vorbel::Pixel p = vorbel::PixelOf(info, GetAMeDASLongitude(id - 1), GetAMeDASLatitude(id - 1));
            if (!is(p.X, p.Y, own) && !is(p.X, p.Y, other)) continue;
            bool framed[2] = {false, false};
            for (int x = 0; x < picture.width(); ++x) framed[x > p.X] |= is(x, p.Y, frame);
            if (framed[0] && framed[1]) continue;
            const QRgb tone = prefecture(id) == prefecture(first) ? own : other;
            bool near = false;
            for (int dy = -5; dy <= 5; ++dy)
                for (int dx = -5; dx <= 5; ++dx) near |= is(p.X + dx, p.Y + dy, tone);
            EXPECT_TRUE(near) << "station " << id;
            ++stations;
        }
    }
    EXPECT_GT(stations, 1000);
    platform::UnloadModule(bruvik);
}

// The pin directions fit the label widths the dialog measures: in no district
// does a label button cover another, in either language.
TEST_F(MapDialog, NoLabelButtonCoversAnotherInAnyDistrict) {
    for (bool english : {true, false}) {
        OnShow([](TFmPrefect& d) {
            int districts = 0;
            for (int region = 0; region < d.CmbDistrict->count(); ++region) {
                Choose(d.CmbDistrict, region);
                for (int item = 0; item < d.CmbPrefecture->count(); ++item, ++districts) {
                    Choose(d.CmbPrefecture, item);
                    for (int a = 0; a < d.SlotCount(); ++a)
                        for (int b = a + 1; b < d.SlotCount(); ++b)
                            EXPECT_FALSE(d.ButtonOfSlot(a)->geometry().intersects(d.ButtonOfSlot(b)->geometry()))
                                << d.District() << ": " << d.ButtonOfSlot(a)->property("Tag").toInt() << " and "
                                << d.ButtonOfSlot(b)->property("Tag").toInt();
                }
            }
            EXPECT_EQ(districts, 60);
            d.BtnCan->click();
        });
        EXPECT_EQ(SelectDlg(english), 999);
    }
}

// Every part of the picture can be scrolled into view, and a box scrolls
// only in a direction the picture doesn't fit.
void ExpectScrollsJustEnough(TFmPrefect& d) {
    SCOPED_TRACE(d.District());
    QApplication::processEvents();
    const QRect panel = d.Panel->geometry();
    const QSize view = d.ScrollBox->viewport()->size();
    const int across = d.ScrollBox->horizontalScrollBar()->maximum(), down = d.ScrollBox->verticalScrollBar()->maximum();
    EXPECT_LE(panel.right() + 1, across + view.width());
    EXPECT_LE(panel.bottom() + 1, down + view.height());
    if (panel.right() < view.width()) { EXPECT_EQ(across, 0); }
    if (panel.bottom() < view.height()) { EXPECT_EQ(down, 0); }
}

TEST_F(MapDialog, NarrowMapsAreCentredAndWideOnesScroll) {
    OnShow([](TFmPrefect& d) {
        QSize box = d.ScrollBox->maximumViewportSize();
        const QRect panel = d.Panel->geometry();
        ASSERT_GT(panel.width(), box.width());  // the Tokyo picture is wider than the window
        EXPECT_EQ(panel.left(), 0);
        EXPECT_EQ(d.ScrollContent->width(), panel.width() + 4);
        ExpectScrollsJustEnough(d);
        EXPECT_GE(testing_support::HandleContrast(d.ScrollBox->horizontalScrollBar()),
                  testing_support::ReadableHandleContrast);

        Choose(d.CmbDistrict, 3);  // Nagano: narrow and tall
        EXPECT_EQ(d.Panel->x(), box.width() / 2 - d.Panel->width() / 2);
        EXPECT_GT(d.ScrollBox->verticalScrollBar()->maximum(), 0);
        EXPECT_EQ(d.ScrollBox->horizontalScrollBar()->maximum(), 0);
        for (int region = 0; region < RegionCount; ++region) {
            Choose(d.CmbDistrict, region);
            for (int item = 0; item < d.CmbPrefecture->count(); ++item) {
                Choose(d.CmbPrefecture, item);
                ExpectScrollsJustEnough(d);
            }
        }

        d.resize(1600, 1000);
        QApplication::processEvents();
        box = d.ScrollBox->maximumViewportSize();
        EXPECT_EQ(d.Panel->x(), box.width() / 2 - d.Panel->width() / 2);
        EXPECT_EQ(d.Panel->y(), box.height() / 2 - d.Panel->height() / 2);
        EXPECT_EQ(d.ScrollBox->horizontalScrollBar()->maximum(), 0);
        EXPECT_EQ(d.ScrollBox->verticalScrollBar()->maximum(), 0);
        d.BtnCan->click();
    });
    EXPECT_EQ(SelectDlg(true), 999);
}

TEST_F(MapDialog, HintsInBothLanguages) {
    OnShow([](TFmPrefect& d) {
        const QString s = "Select a list item in the combo-box on the right side.";
        EXPECT_EQ(platform::HintOf(d.LblDistrict), "Name of District|" + s);
        EXPECT_EQ(platform::HintOf(d.LblPrefecture),
                  "Name of Pref. or Subpref.|" + s +
                      "\r\nAfter the selection, the map for the selected prefecture/subprefecture of Hokkaido "
                      "Prefecture will be drawn below.");
        EXPECT_EQ(platform::HintOf(d.LblLocation),
                  "Name of the AMeDAS Station|" + s +
                      "\r\nInstead of using the combo-box, clicking on the mark/button on the map is available.");
        EXPECT_EQ(platform::HintOf(d.StxtTitle), "Selected AMeDAS Station|");
        EXPECT_EQ(platform::HintOf(d.StxtResult), "Selected AMeDAS Station|If the station is correct, click OK Button.");
        EXPECT_EQ(platform::HintOf(d.BtnOk),
                  "|If the station on the left is correct, click here.\r\nThis dialog will close after clicking.");
        EXPECT_EQ(platform::HintOf(d.BtnCan), "|Ignore the edit result and close this dialog.");
        EXPECT_EQ(platform::HintOf(d.ImgMap),
                  "|There are 12 stations as follows:\r\nOgochi, Ome, Nerima, Hachioji, Fuchu, Tokyo, Shimkiba, "
                  "Oshima, Niijima, Miyakejima, Hachijojima, Chichijima.");
        EXPECT_EQ(platform::HintOf(d.ButtonOfSlot(11)), "369" + platform::HintOf(d.ImgMap));
        d.BtnCan->click();
    });
    EXPECT_EQ(SelectDlg(true), 999);
    OnShow([](TFmPrefect& d) {
        const QString s = "右のｺﾝﾎﾞﾎﾞｯｸｽのﾘｽﾄから選択してください.";
        EXPECT_EQ(platform::HintOf(d.LblDistrict), "地域の名前|" + s);
        EXPECT_EQ(platform::HintOf(d.LblPrefecture), "都府県(支庁)の名前|" + s + "選択後，下にﾏｯﾌﾟが現れます.");
        EXPECT_EQ(platform::HintOf(d.LblLocation),
                  "AMeDAS観測地点名|" + s + "下のﾏｯﾌﾟでﾏｰｸ/ﾎﾞﾀﾝをｸﾘｯｸする方法もあります.");
        EXPECT_EQ(platform::HintOf(d.StxtTitle), "選択地点|");
        EXPECT_EQ(platform::HintOf(d.StxtResult), "選択されたAMeDAS観測点|この観測点でよいなら，OKﾎﾞﾀﾝをｸﾘｯｸしてください.");
        EXPECT_EQ(platform::HintOf(d.BtnOk), "|左の地点でよければ，ここをｸﾘｯｸ.\r\nｸﾘｯｸすると，このﾀﾞｲｱﾛｸﾞが閉じます.");
        EXPECT_EQ(platform::HintOf(d.BtnCan), "ｷｬﾝｾﾙ|選択結果を破棄して，このﾀﾞｲｱﾛｸﾞを閉じます.");
        EXPECT_EQ(platform::HintOf(d.ImgMap),
                  "|以下の 12 地点があります:\r\n小河内，青梅，練馬，八王子，府中，東京，新木場，大島，新島，三宅島，"
                  "八丈島，父島．");
        EXPECT_EQ(platform::HintOf(d.PinOfSlot(0)), "Ogochi" + platform::HintOf(d.ImgMap));
        d.BtnCan->click();
    });
    EXPECT_EQ(MapDlg(), 999);
}

TEST_F(MapDialog, MemoShowsTheLongHintWhileTheDialogOwnsTheHintEvent) {
    int before = 0;
    vorbel::App().OnHint = [&] { ++before; };
    OnShow([](TFmPrefect& d) {
        QEnterEvent onPin(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
        QApplication::sendEvent(d.PinOfSlot(0), &onPin);
        EXPECT_EQ(d.Memo->toPlainText(),
                  "There are 12 stations as follows:\nOgochi, Ome, Nerima, Hachioji, Fuchu, Tokyo, Shimkiba, Oshima, "
                  "Niijima, Miyakejima, Hachijojima, Chichijima.");
        EXPECT_EQ(d.PinOfSlot(0)->toolTip(), "358");
        EXPECT_EQ(d.ImgMap->toolTip(), "");
        QEnterEvent onOk(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
        QApplication::sendEvent(d.BtnOk, &onOk);
        EXPECT_EQ(d.Memo->toPlainText(),
                  "If the station on the left is correct, click here.\nThis dialog will close after clicking.");
        d.BtnCan->click();
    });
    EXPECT_EQ(SelectDlg(true), 999);
    ASSERT_TRUE(vorbel::App().OnHint);
    vorbel::App().OnHint();
    EXPECT_EQ(before, 1);
    OnShow([](TFmPrefect& d) {
        QEnterEvent onMap(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
        QApplication::sendEvent(d.ImgMap, &onMap);
        EXPECT_TRUE(d.Memo->toPlainText().startsWith("以下の 12 地点があります:\n小河内，青梅，"));
        EXPECT_TRUE(d.Memo->toPlainText().endsWith("，父島．"));
        d.BtnCan->click();
    });
    EXPECT_EQ(MapDlg(), 999);
    vorbel::App().OnHint = nullptr;
}

// The district changed with the keyboard while the pointer rests on the map:
// the memo follows the new map.
TEST_F(MapDialog, MemoFollowsTheMapUnderAPointerAtRest) {
    OnShow([](TFmPrefect& d) {
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
        QWidget* view = d.ScrollBox->viewport();
        QCursor::setPos(view->mapToGlobal(view->rect().center()));
        QApplication::processEvents();
        EXPECT_TRUE(d.Memo->toPlainText().startsWith("There are 12 stations as follows:\n"));
        QTest::keyClick(d.CmbDistrict, Qt::Key_Down);
        QApplication::processEvents();
        EXPECT_EQ(d.District(), 4001);
        const QString list = platform::HintOf(d.ImgMap).mid(1).replace("\r\n", "\n");
        EXPECT_TRUE(list.startsWith("There are 29 stations as follows:\n"));
        EXPECT_EQ(d.Memo->toPlainText().toStdString(), list.toStdString());
        d.BtnCan->click();
    });
    EXPECT_EQ(SelectDlg(true), 999);
}

// The dialog as the user sees it: every pin head on the picture, yellow at
// its anchor. The pictures are kept as artefacts of the test run.
TEST_F(MapDialog, ShowsPinsOnTheDistrictPicture) {
    for (bool english : {true, false}) {
        OnShow([english](TFmPrefect& d) {
            QApplication::processEvents();
            QImage shot = d.grab().toImage();
            shot.save(QString(STROVA_TEST_TMP) + (english ? "/map_3005_english.png" : "/map_3005_japanese.png"));
            int visible = 0;
            for (int slot = 0; slot < d.SlotCount(); ++slot) {
                TPin* pin = d.PinOfSlot(slot);
                QPoint at = d.Panel->mapTo(&d, QPoint(pin->AnchorX(), pin->AnchorY()));
                if (!d.ScrollBox->viewport()->geometry().contains(d.ScrollBox->mapFrom(&d, at))) continue;
                ++visible;
                EXPECT_EQ(shot.pixelColor(at), QColor(255, 255, 0)) << slot;
            }
            EXPECT_GT(visible, 3);
            d.BtnCan->click();
        });
        EXPECT_EQ(SelectDlg(english), 999);
    }
}

// The MapInfo strings read alike in every locale: the same pins on the same
// pixels, and a click on a label shows the same text.
TEST_F(MapDialog, PinsStandOnTheirPixelsInEveryLocale) {
    const vorbel::MapInfo district = Info(3005);
    for (const char* name : testing_support::UserLocales) {
        SCOPED_TRACE(name);
        testing_support::ScopedLocale locale(name);
        OnShow([&](TFmPrefect& d) {
            EXPECT_EQ(d.SlotCount(), 12);
            for (int slot = 0; slot < 7; ++slot) ExpectPlacedBy(d, slot, 358 + slot, district);
            QPushButton* nerima = d.ButtonOfSlot(2);
            ASSERT_NE(nerima, nullptr);
            QTest::mouseClick(nerima, Qt::LeftButton);
            EXPECT_EQ(d.StxtResult->text(), "No.360 (Nerima)");
            QTest::mouseClick(d.BtnOk, Qt::LeftButton);
        });
        EXPECT_EQ(SelectDlg(true), 360);
        EXPECT_TRUE(messages.empty());
    }
}

TEST_F(MapDialog, UnknownDistrictOpensTheDefault) {
    OnShow([](TFmPrefect& d) {
        EXPECT_EQ(d.District(), 3005);
        EXPECT_EQ(d.CmbPrefecture->currentText(), "Tokyo");
        d.BtnCan->click();
    });
    EXPECT_EQ(ExecMapDialog(9999, true), 0);
    EXPECT_TRUE(messages.empty());
}

TEST_F(MapDialog, StationModuleAnswersOutOfRangeWithNothing) {
    TAMeDAS module(nullptr);
    EXPECT_EQ(module.GetName(842), nullptr);
    EXPECT_EQ(module.GetLatitude(-1), 0.0);
    EXPECT_STREQ(module.GetPron(0), "Soyamisaki");
    EXPECT_DOUBLE_EQ(module.GetLongitude(841), GetAMeDASLongitude(841));
}

// --- a damaged or missing resource library ------------------------------------

class DamagedLibrary : public MapDialog {
protected:
    // A copy of the resource library with `from` replaced by `to` (same length
    // or shorter, NUL-padded), loaded by the dialog in place of the real one.
    void UseCopy(const std::vector<std::pair<std::string, std::string>>& patches) {
        std::string bytes = testing_support::ReadFile(std::string(vorbel::LibraryFolder()) + platform::ResourceLibraryFileName);
        for (const auto& [from, to] : patches) {
            auto at = bytes.find(from);
            ASSERT_NE(at, std::string::npos) << from;
            std::string padded = to + std::string(from.size() - to.size(), '\0');
            bytes.replace(at, from.size(), padded);
        }
        Use(bytes);
    }
    void Use(const std::string& bytes) {
        testing_support::WriteFile(dir.path() / "libbruvik.so", bytes);
        Use(dir.path() / "libbruvik.so");
    }
    void Use(const std::filesystem::path& path) {
        vorbel::ResourceLibraryName = std::filesystem::relative(path, vorbel::LibraryFolder()).string();
    }
    static std::string Text(int id) {
        char text[vorbel::MapInfoBufferSize];
        platform::ModuleHandle bruvik = platform::LoadModule(std::string(vorbel::LibraryFolder()) + platform::ResourceLibraryFileName);
        platform::LoadResourceString(bruvik, id, text, sizeof text);
        platform::UnloadModule(bruvik);
        return text;
    }
    void ExpectRefused(const std::string& message) {
        OnShow([](TFmPrefect& d) { d.BtnCan->click(); });
        messages.clear();
        EXPECT_EQ(SelectDlg(true), 999);
        EXPECT_EQ(ExecMapDialog(3005, true), 0);
        EXPECT_EQ(_FmPrefect, nullptr);
        ASSERT_EQ(messages.size(), 2u);
        std::string path = std::string(vorbel::LibraryFolder()) + vorbel::ResourceLibraryName;
        EXPECT_EQ(messages[0].text, "The map library <" + path + "> " + message);
        EXPECT_EQ(messages[0].caption, "Select one of the AMeDAS Stations");
        EXPECT_EQ(messages[0].flags, platform::MB_OK | platform::MB_ICONSTOP);
    }
    TempDir dir;
};

// Qt's warnings while it lives.
class QtWarnings {
public:
    QtWarnings() : previous_(qInstallMessageHandler(&Record)) { Seen().clear(); }
    ~QtWarnings() { qInstallMessageHandler(previous_); }
    static std::vector<std::string>& Seen() {
        static std::vector<std::string> seen;
        return seen;
    }

private:
    static void Record(QtMsgType, const QMessageLogContext&, const QString& text) {
        Seen().push_back(text.toStdString());
    }
    QtMessageHandler previous_;
};

TEST_F(DamagedLibrary, MissingOrUnloadableLibrary) {
    Use(dir.path() / "missing.so");
    {
        QtWarnings warnings;
        ExpectRefused("can't be loaded.");
        EXPECT_EQ(QtWarnings::Seen(), std::vector<std::string>{});
    }
    Use(dir.path() / "50%1 off" / "missing.so");
    ExpectRefused("can't be loaded.");
    Use(std::string("not a library"));
    ExpectRefused("can't be loaded.");
    messages.clear();
    EXPECT_EQ(MapDlg(), 999);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text,
              "地図ライブラリ <" + std::string(vorbel::LibraryFolder()) + vorbel::ResourceLibraryName + "> を読み込めません。");
}

// Copies cut short, as an interrupted copy leaves them: refused before the
// loader could fault on the missing part.
TEST_F(DamagedLibrary, LibraryCutShort) {
    std::string whole = testing_support::ReadFile(std::string(vorbel::LibraryFolder()) + platform::ResourceLibraryFileName);
    for (std::size_t size : {std::size_t{0}, std::size_t{40}, std::size_t{64}, std::size_t{500}, whole.size() / 4,
                             whole.size() / 2, whole.size() - 1}) {
        SCOPED_TRACE(size);
        Use(whole.substr(0, size));
        ExpectRefused("can't be loaded.");
    }
}

TEST_F(DamagedLibrary, MissingOrShortString) {
    UseCopy({{Text(3005), "139.1 35.9"}});
    ExpectRefused("has no valid map information 3005.");
    UseCopy({{Text(3005), ""}});
    ExpectRefused("has no valid map information 3005.");
    UseCopy({{Text(3005), "139 36 139 35 400 400 358 369"}});  // empty bounds
    ExpectRefused("has no valid map information 3005.");
}

TEST_F(DamagedLibrary, MissingPicture) {
    UseCopy({{"IDB_3005", "IDB_0000"}});
    ExpectRefused("has no picture IDB_3005.");
}

TEST_F(DamagedLibrary, InsetStringsThatBreakTheTiling) {
    std::string gap = Text(3052);
    gap.replace(gap.rfind(" 368 368"), 8, " 369 369");
    UseCopy({{Text(3052), gap}});
    ExpectRefused("has no valid map information 3052.");
}

TEST_F(DamagedLibrary, ABrokenDistrictLeavesTheDialogUsable) {
    UseCopy({{Text(4001), ""}});
    OnShow([this](TFmPrefect& d) {
        Choose(d.CmbDistrict, 3);  // Chubu opens Nagano, which is broken
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(d.CmbLocation->count(), 0);
        EXPECT_EQ(d.SlotCount(), 0);
        EXPECT_FALSE(d.BtnOk->isEnabled());
        d.resize(800, 700);
        QApplication::processEvents();
        EXPECT_EQ(messages.size(), 1u);
        Choose(d.CmbPrefecture, 1);  // Yamanashi
        EXPECT_EQ(d.CmbLocation->count(), 10);
        d.ButtonOfSlot(0)->click();
        d.BtnOk->click();
    });
    EXPECT_EQ(SelectDlg(true), 418);
}

}  // namespace
