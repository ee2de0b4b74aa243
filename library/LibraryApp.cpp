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
    // The QApplication made for a program without Qt sets the C library's
    // locale from the environment; the program's own printf and scanf would
    // then write and read "138,4". Its number texts stay as they were.
    const std::string numbers = std::setlocale(LC_NUMERIC, nullptr);
    if (platform::EnsureQApplication()) std::setlocale(LC_NUMERIC, numbers.c_str());
    if (!app) app = new platform::Application;  // outlives every window of the library
    return *app;
}

}  // namespace vorbel
