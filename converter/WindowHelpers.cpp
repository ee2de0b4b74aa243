#include "WindowHelpers.h"

#include <QGridLayout>
#include <QToolButton>

static void InitConverterResources() { Q_INIT_RESOURCE(strova); }

namespace strova {

platform::Application& App() {
    static platform::Application* app = new platform::Application;  // outlives every window
    return *app;
}

void ShowErrorBox(const QString& text) { App().MessageBox(text, ErrorCaption, platform::MB_ICONERROR); }

void InitResources() { InitConverterResources(); }

QIcon Glyph(const QString& name) {
    InitResources();
    QIcon icon(":/strova/" + name + ".png");
    icon.addFile(":/strova/" + name + "_off.png", QSize(), QIcon::Disabled);
    return icon;
}

QFont JapaneseFont() { return platform::FontInPoints("ＭＳ　Ｐゴシック", 9); }

QGridLayout* LabelledRows(QWidget* parent, std::initializer_list<std::pair<QWidget*, QWidget*>> rows) {
    auto* grid = new QGridLayout(parent);
    int row = 0;
    for (const auto& [label, value] : rows) {
        grid->addWidget(label, row, 0);
        grid->addWidget(value, row++, 1);
    }
    return grid;
}

QToolButton* SpeedButton(QWidget* parent, const QString& glyph, int left, int top) {
    auto* button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setIcon(Glyph(glyph));
    button->setIconSize(QSize(24, 24));
    button->setGeometry(left, top, 33, 33);
    return button;
}

}  // namespace strova
