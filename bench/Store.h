// The benchmark's lines for the settings store: one read of a text from a
// store of 40,000 values, set against reading the store file's bytes.
#pragma once

#include <string>

namespace bench {

// Writes a store of 40,000 values into `dir`, once each in a key of its own,
// once spread over 4,000 keys and once in one key, and prints the time of one
// GetStrRegistry of libvorbel.so on each beside that of reading the file.
// False when a read gave the wrong text.
bool ReportStore(const std::string& dir);

}  // namespace bench
