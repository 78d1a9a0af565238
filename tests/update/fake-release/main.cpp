// A stand-in for a newer release in the update tests: an ELF program for this machine that
// answers "--version" as the program does.
#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    const bool version = argc > 1 && std::strcmp(argv[1], "--version") == 0;
    std::puts(version ? "KEVRA 1.01" : "new");
}
