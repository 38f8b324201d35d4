// Kernel-streaming tests: a temporary registry (the layer reads its log
// level there) and a fake device provider in place of ALSA for the test's
// length; the layer's lists are released after each test.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <memory>

#include "devices/KsLibrary.h"
#include "platform/registry/Registry.h"
#include "tests/devices/FakeKsProvider.h"
#include "tests/support/TempRegistry.h"

namespace mvtest {

class KsTestFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_provider = std::make_shared<FakeKsProvider>();
        KsSetDeviceProvider(m_provider);
    }
    void TearDown() override
    {
        ReleaseKsLibrary();
        KsSetDeviceProvider(nullptr);
    }

    TempRegistry m_registry;
    std::shared_ptr<FakeKsProvider> m_provider;
};

}  // namespace mvtest
