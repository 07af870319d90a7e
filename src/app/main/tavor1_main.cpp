// Placeholder entry until the driver exists: dispatches sub-commands.
#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--help") == 0) {
        std::puts("tavor1: fiscal printing driver");
        return 0;
    }
    std::fputs("tavor1: the driver is not built yet\n", stderr);
    return 1;
}
