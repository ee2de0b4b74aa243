// The C library's locale of a desktop user, set for one test the way the
// QApplication constructor sets it from the environment.
#pragma once

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace testing_support {

// A decimal-comma locale and a Japanese one; scripts/install-deps.sh
// generates both.
inline const char* const UserLocales[] = {"de_DE.UTF-8", "ja_JP.UTF-8"};

// Switches the whole process to `name` until destroyed. A locale that is not
// installed fails the test: a test that passed in the C locale proves nothing.
class ScopedLocale {
public:
    explicit ScopedLocale(const char* name) : previous_(std::setlocale(LC_ALL, nullptr)) {
        if (!std::setlocale(LC_ALL, name)) {
            ADD_FAILURE() << "the locale " << name << " is not installed";
        } else if (std::string(name).starts_with("de_")) {
            EXPECT_STREQ(std::localeconv()->decimal_point, ",");
        }
    }
    ~ScopedLocale() { std::setlocale(LC_ALL, previous_.c_str()); }
    ScopedLocale(const ScopedLocale&) = delete;
    ScopedLocale& operator=(const ScopedLocale&) = delete;

private:
    std::string previous_;
};

}  // namespace testing_support
