// The data-file list dialogs: the .uf1 file dialog and the HAS/SMA list.
#pragma once

#include <cstdint>

#include "Export.h"

class TOpenUF1;
class TLstHASMA;

extern "C" {

// Shows the .uf1 file dialog over the data folder (the settings' TmpPath).
// `english` nonzero shows English texts; `changeFolder` nonzero lets the user
// change the folder. Returns station * 10000 + year of the chosen file on OK
// (-10001 for a file whose name is not SSSYYYY), 9999999 otherwise.
VORBEL_API int OpenUF1Dlg(std::uint8_t english, std::uint8_t changeFolder);

// Lists the files of the data folder that match `pattern` (code page 932
// text such as "*.SMA") until the user closes the list.
VORBEL_API void OpenHASMAListDlg(const char* pattern, std::uint8_t english);

// The dialog being shown by the calls above, null otherwise.
VORBEL_API extern TOpenUF1* _OpenUF1;
VORBEL_API extern TLstHASMA* _LstHASMA;

}  // extern "C"
