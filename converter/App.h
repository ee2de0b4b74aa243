// The converter's own application object: title, help file, the hint event,
// its message boxes and the exception display.
#pragma once

#include "core/Stations.h"
#include "platform/forms/Application.h"

namespace strova {

platform::Application& App();

// The library's station accessors, bound when the main window is created.
extern StationAccessors Stations;

}  // namespace strova
