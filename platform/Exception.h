// The error class that the application object's exception display shows.
// Errors raised anywhere in a start-up or a handler derive from it, so one
// catch shows them all the same way.
#pragma once

#include <stdexcept>
#include <string>

namespace platform {

class Exception : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace platform
