#include "Library.h"
#include "platform/forms/Application.h"

namespace vorbel {

platform::Application& App() {
    platform::EnsureQApplication();
    static platform::Application* app = new platform::Application;  // outlives every window of the library
    return *app;
}

}  // namespace vorbel
