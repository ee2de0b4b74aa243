// The station-selection map dialog: the user picks a region, a district and
// a station of it on the district's map. Each export shows the dialog
// modally and returns the chosen station ID, or its cancel value.
//
// The language flag is true for English. District codes: vorbel/Districts.h.
#pragma once

#include <cstdint>

#include "Export.h"

class TFmPrefect;
class TAMeDAS;

extern "C" {

// Cancelled: 0. Leaves _FmPrefect alone.
VORBEL_API int ExecMapDialog(std::int16_t district, bool english);
// Cancelled: 999. Start at district 3005.
VORBEL_API int SelectDlg(bool english);
// Cancelled: 999.
VORBEL_API int SelectDlg2(std::int16_t district, bool english);
// Japanese, district 3005; cancelled: 999.
VORBEL_API int MapDlg();
// English, district 3005; cancelled: 999.
VORBEL_API int MapDlg2();

// The dialog while SelectDlg, SelectDlg2, MapDlg or MapDlg2 shows it; null
// otherwise.
VORBEL_API extern TFmPrefect* _FmPrefect;
// The open dialog's station data module; null when no dialog has one.
VORBEL_API extern TAMeDAS* _AMeDAS;

}  // extern "C"
