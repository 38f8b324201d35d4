#include "app/CMvCommandLineInfo.h"

#include <strings.h>

#include "platform/rewire/MvDeviceProtocol.h"

void CMvCommandLineInfo::Parse(int argc, const char* const* argv)
{
    for (int i = 1; i < argc; ++i) {
        const char* parameter = argv[i];
        if (!parameter || !*parameter)
            continue;
        if (strcasecmp(parameter, mvdevice::kPanelSwitch) == 0)
            m_rewirePanel = true;
        else
            m_fileName = parameter;
    }
}
