#include "core/LogPrint.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace strova;

namespace {

// Writes every drawing operation as one line of text.
class Recorder : public LogPrintTarget {
public:
    std::vector<std::string> ops;
    int page = 1;
    void DrawCentred(const PrintRect& r, const std::string& text) override {
        Add("centre " + std::to_string(r.left) + "," + std::to_string(r.top) + "-" + std::to_string(r.right) + "," +
            std::to_string(r.bottom) + " " + text);
    }
    void DrawText(int x, int y, const std::string& text) override {
        Add("text " + std::to_string(x) + "," + std::to_string(y) + " " + text);
    }
    void DrawRule(int x0, int x1, int y) override {
        Add("rule " + std::to_string(x0) + "-" + std::to_string(x1) + "," + std::to_string(y));
    }
    void NewPage() override {
        ++page;
        Add("page");
    }
    int PageNumber() const override { return page; }

private:
    void Add(const std::string& op) { ops.push_back(op); }
};

std::vector<std::string> Lines(int count) {
    std::vector<std::string> lines;
    for (int i = 1; i <= count; ++i) lines.push_back("line " + std::to_string(i));
    return lines;
}

TEST(LogPrintTest, GeometryAt300And600Dpi) {
    PrintGeometry g300 = ComputePrintGeometry(300, 9, 3300);
    EXPECT_EQ(g300.fontHeight, 38);
    EXPECT_EQ(g300.lineHeight, 53);
    EXPECT_EQ(g300.margin, 236);
    EXPECT_EQ(g300.rowsPerPage, 3300 / 53 - 4);

    PrintGeometry g600 = ComputePrintGeometry(600, 9, 6600);
    EXPECT_EQ(g600.fontHeight, 75);
    EXPECT_EQ(g600.lineHeight, 104);  // 75 * 1.4 falls just short of 105
    EXPECT_EQ(g600.margin, 472);
    EXPECT_EQ(g600.rowsPerPage, 6600 / 104 - 4);
}

// A page of 14 lines of 53 pixels: N = 10.
constexpr int PageWidth = 2400, PageHeight = 14 * 53;

TEST(LogPrintTest, EmptyLogPrintsTitleRuleAndFooterOnOnePage) {
    PrintGeometry g = ComputePrintGeometry(300, 9, PageHeight);
    ASSERT_EQ(g.rowsPerPage, 10);
    Recorder out;
    PrintLog(out, {}, "Ostrane - Process Log", g, PageWidth, PageHeight);
    EXPECT_EQ(out.ops, (std::vector<std::string>{
                           "centre 236,53-2400,106 Ostrane - Process Log",
                           "centre 236,636-2400,689 Page: 1",
                           "rule 0-2400,634",
                       }));
}

TEST(LogPrintTest, SixLinesFillPageOneAndTheSeventhStartsPageTwoAtRowFour) {
    PrintGeometry g = ComputePrintGeometry(300, 9, PageHeight);
    Recorder six;
    PrintLog(six, Lines(6), "T", g, PageWidth, PageHeight);
    ASSERT_EQ(six.ops.size(), 9u);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(six.ops[1 + i], "text 236," + std::to_string(53 * (5 + i)) + " line " + std::to_string(i + 1));
    EXPECT_EQ(six.page, 1);

    Recorder seven;
    PrintLog(seven, Lines(7), "T", g, PageWidth, PageHeight);
    EXPECT_EQ(seven.ops, (std::vector<std::string>{
                             "centre 236,53-2400,106 T", "text 236,265 line 1", "text 236,318 line 2",
                             "text 236,371 line 3", "text 236,424 line 4", "text 236,477 line 5",
                             "text 236,530 line 6", "centre 236,636-2400,689 Page: 1", "rule 0-2400,634", "page",
                             "text 236,212 line 7", "centre 236,636-2400,689 Page: 2", "rule 0-2400,634"}));
}

TEST(LogPrintTest, LaterPagesHoldRowsFourToN) {
    PrintGeometry g = ComputePrintGeometry(300, 9, PageHeight);
    Recorder out;
    PrintLog(out, Lines(6 + 7 + 1), "T", g, PageWidth, PageHeight);
    std::vector<std::string> pageTwo;
    bool onTwo = false;
    for (const std::string& op : out.ops) {
        if (op == "page") onTwo = !onTwo;
        else if (onTwo && op.rfind("text", 0) == 0) pageTwo.push_back(op);
    }
    ASSERT_EQ(pageTwo.size(), 7u);
    EXPECT_EQ(pageTwo.front(), "text 236,212 line 7");
    EXPECT_EQ(pageTwo.back(), "text 236,530 line 13");
    EXPECT_EQ(out.page, 3);
    EXPECT_EQ(out.ops[out.ops.size() - 3], "text 236,212 line 14");
    EXPECT_EQ(out.ops[out.ops.size() - 2], "centre 236,636-2400,689 Page: 3");
}

}  // namespace
