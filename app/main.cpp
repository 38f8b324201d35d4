// The studio program. Until the shell is in place it only says who it is.
#include <cstdio>

int main()
{
    std::printf("Morvane 1.0\n");
    return 0;
}
