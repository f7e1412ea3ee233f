#pragma once

// The operating system's side of a table file: positioned reads and writes on
// one open file that this process holds for writing exclusively. Other
// processes may still read it.

#include <cstddef>
#include <cstdint>
#include <string>

namespace orx {

class TableFile
{
public:
    enum class OpenResult
    {
        Ok,
        NotFound,
        Locked,
        Failed
    };

    TableFile() = default;
    ~TableFile();
    TableFile(const TableFile&) = delete;
    TableFile& operator=(const TableFile&) = delete;

    // Opens for reading and writing and takes the exclusive write lock.
    // With create set, a missing file is created (an existing one is kept).
    OpenResult open(const std::string& path, bool create);
    void close();
    bool isOpen() const;

    bool size(std::uint64_t& out) const;
    bool isRegularFile() const;
    // Gives this file the permissions and owner of other, as far as allowed.
    void takeAccessFrom(const TableFile& other);
    // Reads up to n bytes; returns how many were read, or -1 on error.
    long long readAt(std::uint64_t offset, void* buf, std::size_t n) const;
    // Writes all n bytes or fails.
    bool writeAt(std::uint64_t offset, const void* buf, std::size_t n);
    bool truncate(std::uint64_t length);
    bool sync();

    // The system's text for the last failure.
    std::string lastErrorText() const;

    static bool removeFile(const std::string& path);
    // Gives the file at from the name to, replacing what was there, in one
    // step that survives a crash. On Windows neither file may be open.
    static bool replaceFile(const std::string& from, const std::string& to);

private:
#ifdef _WIN32
    void* m_handle = nullptr;
#else
    int m_fd = -1;
#endif
    int m_lastError = 0;
};

} // namespace orx
