#include "Shared.h"

#include <QToolButton>

#include <filesystem>

#include "platform/Exception.h"

static void InitConverterResources() { Q_INIT_RESOURCE(strova); }

namespace strova {

platform::ModuleHandle VorbelModule = nullptr;
std::string LibraryPath;
bool JapaneseAvailable = false;
int ExitCode = 1;
StationAccessors Stations;

platform::Application& App() {
    static platform::Application* app = new platform::Application;  // outlives every window
    return *app;
}

void* BindExport(const char* name) {
    void* address = platform::ResolveSymbol(VorbelModule, name);
    if (!address)
        throw platform::Exception(LibraryPath + " lacks the function " + name + ".\rTerminate with the error.");
    return address;
}

std::string ProgramFolder() {
    std::error_code error;
    std::string program = std::filesystem::read_symlink("/proc/self/exe", error).string();
    std::size_t slash = program.rfind('/');
    return slash == std::string::npos ? std::string() : program.substr(0, slash + 1);
}

void InitResources() { InitConverterResources(); }

QIcon Glyph(const QString& name) {
    InitResources();
    QIcon icon(":/strova/" + name + ".png");
    icon.addFile(":/strova/" + name + "_off.png", QSize(), QIcon::Disabled);
    return icon;
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
