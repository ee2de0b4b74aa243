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
    // Only a program of the library folder is started: with no folder known,
    // the bare name would be looked up along PATH, so that is a failed start.
    if (!folder.empty() && platform::RunAndWait(folder + fileName, {"-c"})) return 1;
    App().MessageBox(QString::fromUtf8(fileName) + QString::fromUtf8("を起動できませんでした．"),
                     QStringLiteral("Yondrel - Error"), platform::MB_OK | platform::MB_ICONERROR);
    return 0;
}

}  // namespace vorbel

extern "C" {

int RunQuillsen() { return vorbel::RunSibling(vorbel::LibraryFolder(), platform::QuillsenFileName); }
int RunMorak() { return vorbel::RunSibling(vorbel::LibraryFolder(), platform::MorakFileName); }

}  // extern "C"
