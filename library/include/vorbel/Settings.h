// Settings of the program family in the per-user registry, and the language test.
//
// The root key is \Software\Vorbel\ (DllPath and TmpPath stand there); a
// program key is the root key followed by the caller's subkey exactly as given,
// so an empty subkey names the root key itself. No function shows a message or
// lets a failure through: each answers with its plain result.
//
// Texts are NUL-terminated code page 932 bytes. A text result is copied up to
// its first NUL and with that NUL, nothing more, into the caller's buffer,
// which must hold the longest text it may receive and at least 4 bytes.
#pragma once

#include "Export.h"

extern "C" {

// True when the user's default language is Japanese (0x0411).
VORBEL_API bool Is_JP();

// Write a text, an integer, or a flag as 1 or 0 under the program key,
// creating it and the keys above it; nothing is stored when that fails.
VORBEL_API void SetStrRegistry(const char* subkey, const char* name, const char* value);
VORBEL_API void SetIntRegistry(const char* subkey, const char* name, int value);
VORBEL_API void SetBoolRegistry(const char* subkey, const char* name, bool value);

// The stored text; "Err" when the program key is missing, the empty text when
// the value is missing or holds no text.
VORBEL_API void GetStrRegistry(const char* subkey, const char* name, char* buffer);
// The stored integer; -1 when the key or the integer value is missing.
VORBEL_API int GetIntRegistry(const char* subkey, const char* name);
// True when the stored integer is not 0; false when the key or value is missing.
VORBEL_API bool GetBoolRegistry(const char* subkey, const char* name);

// The program's language flag, the value "UseJP".
VORBEL_API void SetUseJPRegistry(const char* subkey, bool useJP);
VORBEL_API bool GetUseJPRegistry(const char* subkey);

// The root key's DllPath and TmpPath: "./" when the root key is missing, the
// empty text when the value is.
VORBEL_API void GetBinRegistry(char* buffer);
VORBEL_API void GetTmpRegistry(char* buffer);

}  // extern "C"
