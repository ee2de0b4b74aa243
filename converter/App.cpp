#include "App.h"

namespace strova {

StationAccessors Stations;

platform::Application& App() {
    static platform::Application app;
    return app;
}

}  // namespace strova
