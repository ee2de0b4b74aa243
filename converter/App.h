// The converter's own application object: title, help file, the hint event,
// its message boxes and the exception display.
#pragma once

#include "platform/forms/Application.h"

namespace strova {

platform::Application& App();

}  // namespace strova
