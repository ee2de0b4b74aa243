// A test suite over one main window of the converter, made once with the real
// library loaded, as the program's entry makes it.
#pragma once

#include <gtest/gtest.h>

#include "Main.h"
#include "LibraryBinding.h"
#include "TestSupport.h"
#include "platform/Module.h"
#include "platform/ModuleNames.h"
#include "platform/forms/Application.h"

namespace testing_support {

class MainFormSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        platform::EnsureQApplication();
        strova::LibraryPath = BinDir() + "/" + platform::LibraryFileName;
        strova::VorbelModule = platform::LoadModule(strova::LibraryPath);
        ASSERT_NE(strova::VorbelModule, nullptr) << platform::LastLoadError();
        main = new TMainForm(nullptr);
    }
    static void TearDownTestSuite() {
        delete main;
        main = nullptr;
    }

    inline static TMainForm* main = nullptr;
};

}  // namespace testing_support
