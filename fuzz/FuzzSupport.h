#pragma once

// What the fuzz targets share: a private scratch folder for the table files
// they write (in memory where the system offers one, so a flush costs nothing)
// and a hard stop when a target finds the code breaking its own promises.

#include <cstddef>
#include <cstdint>
#include <string>

namespace orx::fuzz {

// The path of a file in this process's scratch folder; the folder goes at exit.
std::string scratchPath(const std::string& name);

void writeBytes(const std::string& path, const std::uint8_t* data, std::size_t size);
void writeBytes(const std::string& path, const std::string& bytes);
std::string readBytes(const std::string& path);

// Stops the run with a message: the code under test broke an invariant.
[[noreturn]] void broken(const char* what);

inline void require(bool condition, const char* what)
{
    if (!condition)
        broken(what);
}

} // namespace orx::fuzz
