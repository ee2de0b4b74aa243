// The sibling-program launchers.
#include "Launch.h"

#include <QString>

#include "Library.h"
#include "platform/ModuleNames.h"
#include "platform/Process.h"
#include "platform/forms/Application.h"
#include "vorbel/Launch.h"

namespace vorbel {

int RunSibling(const std::string& folder, const char* fileName) {
    std::string path = folder + fileName;
    // A path that would not fit the family's path buffer is never cut short:
    // it counts as a start that failed.
    if (path.size() < MaxPath && platform::RunAndWait(path, {"-c"})) return 1;
    App().MessageBox(QString::fromUtf8(fileName) + QString::fromUtf8("を起動できませんでした．"),
                     QStringLiteral("Yondrel - Error"), platform::MB_OK | platform::MB_ICONERROR);
    return 0;
}

}  // namespace vorbel

extern "C" {

int RunQuillsen() { return vorbel::RunSibling(vorbel::LibraryFolder(), platform::QuillsenFileName); }
int RunMorak() { return vorbel::RunSibling(vorbel::LibraryFolder(), platform::MorakFileName); }

}  // extern "C"
