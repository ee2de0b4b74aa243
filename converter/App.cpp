#include "App.h"

namespace strova {

platform::Application& App() {
    static platform::Application app;
    return app;
}

}  // namespace strova
