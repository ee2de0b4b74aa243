// Launchers of the family's sibling programs, which lie beside the library.
#pragma once

#include "Export.h"

extern "C" {

// Start quillsen (morak) from the library folder with the argument "-c" in the
// caller's current folder and return 1 once it has ended, whatever its exit
// code; 0 after an error message when it could not be started.
VORBEL_API int RunQuillsen();
VORBEL_API int RunMorak();

}  // extern "C"
