#include "LogPrint.h"

#include <cstdio>
#include <cstdlib>

namespace strova {

namespace {

// a * b / c rounded to the nearest integer, halves away from zero.
int MulDiv(int a, int b, int c) {
    long long product = static_cast<long long>(a) * b;
    long long half = c / 2;
    return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

}  // namespace

PrintGeometry ComputePrintGeometry(int ppi, int fontPoints, int pageHeight) {
    PrintGeometry g{};
    g.fontHeight = std::abs(MulDiv(fontPoints, ppi, 72));
    // 1.4 as a double lies just below 1.4 and the product is formed in
    // extended precision, so a product that would be whole comes out one less.
    g.lineHeight = static_cast<int>(static_cast<long double>(g.fontHeight) * static_cast<long double>(1.4));
    g.margin = static_cast<int>(ppi * 20 * 0.039370078740157 + 0.5);
    g.rowsPerPage = pageHeight / g.lineHeight - 4;
    return g;
}

void PrintPageFooter(LogPrintTarget& target, PrintRect& rect, int lineHeight, int pageWidth, int pageHeight) {
    char text[32];
    std::snprintf(text, sizeof text, "Page: %d", target.PageNumber());
    rect.top = pageHeight - 2 * lineHeight;
    rect.bottom = pageHeight - lineHeight;
    target.DrawCentred(rect, text);
    target.DrawRule(0, pageWidth, rect.top - 2);
}

void PrintLog(LogPrintTarget& target, const std::vector<std::string>& lines, const std::string& title,
              const PrintGeometry& g, int pageWidth, int pageHeight) {
    const int L = g.lineHeight;
    PrintRect rect{g.margin, L, pageWidth, 2 * L};
    target.DrawCentred(rect, title);
    int row = 4;
    for (const std::string& line : lines) {
        int r = row++;
        if (r == g.rowsPerPage) {
            PrintPageFooter(target, rect, L, pageWidth, pageHeight);
            row = 4;
            target.NewPage();
        }
        target.DrawText(g.margin, L * row, line);
    }
    PrintPageFooter(target, rect, L, pageWidth, pageHeight);
}

}  // namespace strova
