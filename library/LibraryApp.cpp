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
    platform::EnsureQApplication();
    if (!app) app = new platform::Application;  // outlives every window of the library
    return *app;
}

}  // namespace vorbel
