// The family's splash windows: a modeless one the caller opens and closes, and
// a self-closing one shown modally for 1500 ms.
//
// Each call creates the QApplication when the calling program has none.
#pragma once

#include "Export.h"

class TFmSplDlg;
class TFmSplDlg2;

extern "C" {

// The open modeless splash window, null when none is open.
VORBEL_API extern TFmSplDlg* _FmSplDlg;
// The self-closing splash window while Splash shows it, else null.
VORBEL_API extern TFmSplDlg2* _FmSplDlg2;

// Opens the modeless splash window and returns at once; while one is open it
// is raised and kept.
VORBEL_API void SplashDlg_On();
// Closes and frees the modeless splash window; does nothing when none is open.
VORBEL_API void SplashDlg_Off();
// Shows the self-closing splash window and returns once it has closed itself.
VORBEL_API void Splash();

}  // extern "C"
