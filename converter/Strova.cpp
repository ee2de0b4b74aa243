// The program entry of Strova: one instance at a time, the library found
// through DllPath and bound at run time, then the main window and the
// message loop.
#include <QApplication>

#include <memory>

#include "Main.h"
#include "LibraryBinding.h"
#include "WindowHelpers.h"
#include "core/Paths.h"
#include "core/StepJournal.h"
#include "platform/Exception.h"
#include "platform/InstanceLock.h"
#include "platform/ModuleNames.h"
#include "platform/Registry.h"
#include "vorbel/Settings.h"

namespace {

constexpr const char* RootKey = "Software\\Vorbel";

// DllPath of the root key, or, on the first start (no root key), the program
// folder, which is then stored as DllPath. The key and its DllPath are made in
// one change of the store: a first start cut short leaves neither, never a
// key without DllPath.
std::string ReadOrCreateDllPath(const std::string& programFolder) {
    platform::Registry registry;
    if (!registry.OpenKey(RootKey, false)) {
        try {
            // Another first start may have made the key meanwhile: then it is read.
            if (registry.OpenOrCreateKey(RootKey, {"DllPath", platform::RegSz, programFolder})) return programFolder;
        } catch (const platform::RegistryError& error) {
            throw platform::RegistryError("The settings can't be stored in " + platform::RegistryStorePath() +
                                          ":\r" + error.what());
        }
    }
    std::string path = registry.ValueExists("DllPath") ? registry.ReadString("DllPath") : std::string();
    registry.CloseKey();
    return path;
}

void LoadVorbel() {
    strova::LibraryPath = ReadOrCreateDllPath(strova::ProgramFolder()) + platform::LibraryFileName;
    strova::VorbelModule = platform::LoadModule(strova::LibraryPath);
    if (!strova::VorbelModule)
        throw platform::Exception(strova::LibraryPath + " can't be loaded.\rTerminate with the error.");
    strova::JapaneseAvailable = strova::Bind<decltype(&::Is_JP)>("Is_JP")();
}

// The answer of an instance test of the converter's marker; a lock file that
// can't be had anywhere ends the start with the reason rather than skip the test.
bool InstanceTest(bool (*test)(const std::string&)) {
    try {
        return test(platform::StrovaInstanceLockName);
    } catch (const platform::Exception& error) {
        throw platform::Exception(std::string("\"Strova\" can't tell whether it has been invoked already:\r") +
                                  error.what());
    }
}

// A step that a kill or a power cut stopped is taken back, or finished when
// it was whole, before the user can start another; an earlier file that
// can't be put back is named with where it is kept.
void RecoverInterruptedSteps() {
    for (const strova::KeptFile& kept : strova::RecoverSteps(strova::StepJournalFolder()))
        strova::ShowErrorBox(QString::fromStdString(strova::KeptFileText(kept, false)));
}

int InvokedAlready() {
    strova::ShowErrorBox("\"Strova\" has been invoked already.");
    return 0;
}

}  // namespace

// The command line is not looked at here; the station window reads its "-f"
// from the application's arguments.
int main(int argc, char** argv) {
    // The command line stays readable: "-f" tells the station window to read gm_info.dat.
    platform::EnsureQApplication(argc, argv);
    QApplication::setApplicationName("strova");
    platform::Application& app = strova::App();

    try {
        // A running instance is told apart before the settings or the library
        // are touched; the marker itself is taken only once the library has
        // loaded, so that an instance that can't load it blocks nobody. The
        // test comes again with the taking, for a start that came in between.
        if (InstanceTest(platform::InstanceRunning)) return InvokedAlready();
        LoadVorbel();
        if (!InstanceTest(platform::TakeInstanceLock)) return InvokedAlready();
        RecoverInterruptedSteps();
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
