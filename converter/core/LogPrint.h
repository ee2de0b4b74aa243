// The page layout of a printed process log: a title on page 1, numbered text
// rows, and a footer with the page number under a rule on every page. The
// drawing goes to a target, so the layout is the same on a printer, a PDF or
// a test's recorder.
#pragma once

#include <string>
#include <vector>

namespace strova {

struct PrintGeometry {
    int fontHeight;   // h: the font's size in device pixels
    int lineHeight;   // L
    int margin;       // M: 20 mm
    int rowsPerPage;  // N
};

// The geometry at `ppi` dots per inch for a font of `fontPoints` points on a
// page `pageHeight` device pixels high.
PrintGeometry ComputePrintGeometry(int ppi, int fontPoints, int pageHeight);

struct PrintRect {
    int left, top, right, bottom;
};

class LogPrintTarget {
public:
    virtual ~LogPrintTarget() = default;
    virtual void DrawCentred(const PrintRect& rect, const std::string& text) = 0;
    virtual void DrawText(int x, int y, const std::string& text) = 0;
    virtual void DrawRule(int x0, int x1, int y) = 0;
    virtual void NewPage() = 0;
    virtual int PageNumber() const = 0;  // 1 on the first page
};

// The footer of the current page: "Page: n" centred between page height - 2L
// and page height - L, and a rule across the page 2 pixels above it. Moves
// `rect` to the footer band.
void PrintPageFooter(LogPrintTarget& target, PrintRect& rect, int lineHeight, int pageWidth, int pageHeight);

// Prints `title` and `lines` page by page.
void PrintLog(LogPrintTarget& target, const std::vector<std::string>& lines, const std::string& title,
              const PrintGeometry& geometry, int pageWidth, int pageHeight);

}  // namespace strova
