// The stand-in plug-in of the resource tests: it registers its table while it
// is loaded, as a plug-in does, and lets the tests try registering again.
#include "platform/res/ResourceTable.h"
#include "platform/res/Resources.h"
#include "resources/ResTestStrings.h"

#define MV_TEST_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

mvres::CModuleResources g_resources(g_ResTestResources);

const mvres::StringEntry kOtherStrings[] = {{1, "other"}};
const mvres::ResourceTable kOtherTable = {kOtherStrings, 1, nullptr, 0};

}  // namespace

// The handle the module's table was registered under.
MV_TEST_EXPORT HINSTANCE ResTestModuleHandle()
{
    return g_resources.Handle();
}

MV_TEST_EXPORT HINSTANCE ResTestRegisterAgain()
{
    return mvres::RegisterModuleResources(g_ResTestResources);
}

MV_TEST_EXPORT HINSTANCE ResTestRegisterOther()
{
    return mvres::RegisterModuleResources(kOtherTable);
}
