// The studio program. Until the shell is in place it only says who it is.
#include <cstdio>

#include "platform/sync/ThreadAffinity.h"

int main()
{
    // The program's main thread is its UI thread: the document, the graph
    // and the devices are driven from here.
    mv::MarkCurrentThread(mv::ThreadRole::UI);
    std::printf("Morvane 1.0\n");
    return 0;
}
