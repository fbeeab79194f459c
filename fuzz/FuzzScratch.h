// Scratch files of the targets that must hand the code a file by name: in
// memory (/dev/shm) when the machine has it, since a disk file written on every
// input costs more than the code under test.
#pragma once

#include <unistd.h>

#include <string>

inline std::string FuzzScratchDir()
{
    return access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
}
