// Records every message box shown while it exists and answers each with
// `answer` (tests that link the forms layer only).
#pragma once

#include <vector>

#include "platform/forms/Application.h"

namespace testing_support {

class MessageBoxRecorder {
public:
    explicit MessageBoxRecorder(int answer = platform::IDOK) {
        platform::SetMessageBoxHook([this, answer](const platform::MessageBoxCall& call) {
            calls.push_back(call);
            return answer;
        });
    }
    ~MessageBoxRecorder() { platform::SetMessageBoxHook(nullptr); }
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    std::vector<platform::MessageBoxCall> calls;
};

}  // namespace testing_support
