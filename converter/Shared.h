// What every window of the converter shares: its application object, the
// library it binds at run time and the functions bound from it, the captions
// of its boxes and windows, the Japanese-available flag, the exit code and its
// pictures.
#pragma once

#include <QIcon>
#include <QString>

#include <string>

class QToolButton;
class QWidget;

#include "core/Stations.h"
#include "platform/Module.h"
#include "platform/forms/Application.h"

namespace strova {

inline const QString ErrorCaption = QStringLiteral("Strova - Error");
inline const QString WarningCaption = QStringLiteral("Strova - Warning");
inline const QString CaptionPrefix = QStringLiteral("Strova - ");

// The converter's application object (the first of the process).
platform::Application& App();

// The loaded library and its path (DllPath + the library's file name).
extern platform::ModuleHandle VorbelModule;
extern std::string LibraryPath;
// The answer of the library's Is_JP, taken once at start-up.
extern bool JapaneseAvailable;
// 1 until the main window's close handler sets it to 0.
extern int ExitCode;

// The station accessors the station window calls, bound by the main window.
extern StationAccessors Stations;

// Address of the library's export `name`. A library that lacks it is not the
// library this program was built for: that is an error the start-up handler
// shows, never a null function called later.
void* BindExport(const char* name);
template <typename Fn>
Fn Bind(const char* name) {
    return reinterpret_cast<Fn>(BindExport(name));
}

// The folder of the running program with its trailing separator.
std::string ProgramFolder();

// Registers the converter's compiled-in pictures (once is enough, more is harmless).
void InitResources();
// A speed-button glyph pair: the normal look and the disabled look.
QIcon Glyph(const QString& name);
// A flat 33 x 33 speed button with the glyph pair `glyph`.
QToolButton* SpeedButton(QWidget* parent, const QString& glyph, int left, int top);

}  // namespace strova
