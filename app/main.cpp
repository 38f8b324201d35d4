// The studio program. Until the shell is in place it says who it is, or,
// started as a ReWire device of another host, plays its song for that host
// without windows.
#include <cstdio>

#include "app/CMvCommandLineInfo.h"
#include "app/CRewireDeviceApp.h"
#include "platform/sync/ThreadAffinity.h"

int main(int argc, char** argv)
{
    // The program's main thread is its UI thread: the document, the graph
    // and the devices are driven from here.
    mv::MarkCurrentThread(mv::ThreadRole::UI);
    CMvCommandLineInfo commandLine;
    commandLine.Parse(argc, argv);
    if (CRewireDeviceApp::IsDeviceMode(commandLine))
        return CRewireDeviceApp().Run(commandLine);
    std::printf("Morvane 1.0\n");
    return 0;
}
