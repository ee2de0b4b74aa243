#include <clocale>
#include <string>

#include "Library.h"
#include "platform/forms/Application.h"

namespace vorbel {

namespace {

platform::Application* app = nullptr;

// The application object goes with the library: left behind when the library
// is unloaded, its hint filter would call into code that is no longer there.
__attribute__((destructor)) void DropApplication() {
    delete app;
    app = nullptr;
}

}  // namespace

platform::Application& App() {
    // The QApplication made for a program without Qt sets every category of
    // the C library's locale from the environment; the program's own printf
    // and scanf would then write and read "138,4", and its dates and system
    // messages would change language. Its locale stays as it was, category by
    // category (the query gives them all in one text).
    const std::string callers = std::setlocale(LC_ALL, nullptr);
    if (platform::EnsureQApplication()) std::setlocale(LC_ALL, callers.c_str());
    if (!app) app = new platform::Application;  // outlives every window of the library
    return *app;
}

}  // namespace vorbel
