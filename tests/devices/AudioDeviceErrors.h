// The messages a back-end has collected, as texts (the list is emptied).
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "devices/IAudioDevice.h"

namespace mvtest {

inline std::vector<std::string> ErrorTexts(IAudioDevice& device)
{
    std::vector<CString> errors;
    EXPECT_EQ(S_OK, device.GetErrorList(&errors));
    std::vector<std::string> texts;
    for (const CString& e : errors)
        texts.push_back(e.Str());
    return texts;
}

}  // namespace mvtest
