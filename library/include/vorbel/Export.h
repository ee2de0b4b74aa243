// Marks the library's exports: C functions and data under their plain names,
// and the exported C++ classes. Everything else stays inside the library.
#pragma once

#define VORBEL_API __attribute__((visibility("default")))
