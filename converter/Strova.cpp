// The program entry of Strova: one instance at a time, the library found
// through DllPath and bound at run time, then the main window and the
// message loop.
#include <QApplication>

#include <memory>

#include "Main.h"
#include "LibraryBinding.h"
#include "WindowHelpers.h"
#include "core/Paths.h"
#include "platform/Exception.h"
#include "platform/InstanceLock.h"
#include "platform/ModuleNames.h"
#include "platform/Registry.h"

namespace {

constexpr const char* RootKey = "Software\\Vorbel";

// DllPath of the root key, or, on the first start (no root key), the program
// folder, which is then stored as DllPath.
std::string ReadOrCreateDllPath(const std::string& programFolder) {
    platform::Registry registry;
    if (registry.OpenKey(RootKey, false)) {
        std::string path = registry.ValueExists("DllPath") ? registry.ReadString("DllPath") : std::string();
        registry.CloseKey();
        return path;
    }
    if (!registry.OpenKey(RootKey, true)) {
        std::string problem = platform::RegistryStoreProblem();
        throw platform::RegistryError("The settings can't be stored in " + platform::RegistryStorePath() +
                                      (problem.empty() ? "." : ":\r" + problem));
    }
    registry.WriteString("DllPath", programFolder);
    registry.CloseKey();
    return programFolder;
}

void LoadVorbel() {
    strova::LibraryPath = ReadOrCreateDllPath(strova::ProgramFolder()) + platform::LibraryFileName;
    strova::VorbelModule = platform::LoadModule(strova::LibraryPath);
    if (!strova::VorbelModule)
        throw platform::Exception(strova::LibraryPath + " can't be loaded.\rTerminate with the error.");
    strova::JapaneseAvailable = strova::Bind<bool (*)()>("Is_JP")();
}

}  // namespace

// The command line is not looked at here; the station window reads its "-f"
// from the application's arguments.
int main(int argc, char** argv) {
    // The command line stays readable: "-f" tells the station window to read gm_info.dat.
    platform::EnsureQApplication(argc, argv);
    QApplication::setApplicationName("strova");
    platform::Application& app = strova::App();

    if (!platform::TakeInstanceLock(platform::StrovaInstanceLockName)) {
        app.MessageBox("\"Strova\" has been invoked already.", strova::ErrorCaption,
                       platform::MB_OK | platform::MB_ICONERROR);
        return 0;
    }
    try {
        LoadVorbel();
        app.Title = "Strova";
        app.HelpFile = QString(strova::CurrentFolderPrefix) + platform::HelpFileEnglish;
        auto mainForm = std::make_unique<TMainForm>(nullptr);
        mainForm->show();
        QApplication::exec();
    } catch (const std::exception& error) {
        app.ShowException(error);
        return 0;
    }
    return strova::ExitCode;
}
