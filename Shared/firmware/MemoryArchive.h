#pragma once
// A byte buffer behind minizip's file interface: archives are written into
// memory (and then to disk in one step) and read from memory (after the one
// checked file read), never through minizip's own file access.
#include <cstddef>
#include <string>

#include <ioapi.h>

struct MemoryArchive {
    std::string bytes;
    size_t pos = 0;
    bool failed = false;
};

// The functions for zipOpen2_64 / unzOpen2_64; mem must outlive the archive.
zlib_filefunc64_def MemoryFunctions(MemoryArchive& mem);
