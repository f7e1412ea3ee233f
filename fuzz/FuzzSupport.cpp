#include "fuzz/FuzzSupport.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include <unistd.h>

namespace orx::fuzz {
namespace {

std::string& scratchDir()
{
    static std::string dir;
    return dir;
}

void removeScratch()
{
    std::error_code ec;
    std::filesystem::remove_all(scratchDir(), ec);
}

const std::string& ensureScratch()
{
    std::string& dir = scratchDir();
    if (!dir.empty())
        return dir;
    std::filesystem::path base = "/dev/shm";
    std::error_code ec;
    if (!std::filesystem::is_directory(base, ec) || ::access(base.c_str(), W_OK) != 0)
        base = std::filesystem::temp_directory_path();
    dir = (base / ("orx-fuzz-" + std::to_string(::getpid()))).string();
    std::filesystem::create_directories(dir);
    std::atexit(removeScratch);
    return dir;
}

} // namespace

std::string scratchPath(const std::string& name)
{
    return ensureScratch() + "/" + name;
}

void writeBytes(const std::string& path, const std::uint8_t* data, std::size_t size)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out)
        broken("cannot write the scratch file");
}

void writeBytes(const std::string& path, const std::string& bytes)
{
    writeBytes(path, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

std::string readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void broken(const char* what)
{
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

} // namespace orx::fuzz
