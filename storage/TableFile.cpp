#include "storage/TableFile.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace orx {

TableFile::~TableFile()
{
    close();
}

#ifdef _WIN32

namespace {
std::wstring widen(const std::string& utf8)
{
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    std::wstring w(n > 0 ? n - 1 : 0, L'\0');
    if (n > 1)
        MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, w.data(), n);
    return w;
}
} // namespace

TableFile::OpenResult TableFile::open(const std::string& path, bool create)
{
    close();
    // Sharing reads only: a second writer is refused, readers are welcome.
    HANDLE h =
        CreateFileW(widen(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                    create ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        m_lastError = static_cast<int>(GetLastError());
        if (m_lastError == ERROR_FILE_NOT_FOUND || m_lastError == ERROR_PATH_NOT_FOUND)
            return OpenResult::NotFound;
        if (m_lastError == ERROR_SHARING_VIOLATION)
            return OpenResult::Locked;
        return OpenResult::Failed;
    }
    m_handle = h;
    return OpenResult::Ok;
}

void TableFile::close()
{
    if (m_handle) {
        CloseHandle(static_cast<HANDLE>(m_handle));
        m_handle = nullptr;
    }
}

bool TableFile::isOpen() const
{
    return m_handle != nullptr;
}

bool TableFile::size(std::uint64_t& out) const
{
    LARGE_INTEGER li;
    if (!GetFileSizeEx(static_cast<HANDLE>(m_handle), &li))
        return false;
    out = static_cast<std::uint64_t>(li.QuadPart);
    return true;
}

bool TableFile::isRegularFile() const
{
    return GetFileType(static_cast<HANDLE>(m_handle)) == FILE_TYPE_DISK;
}

void TableFile::takeAccessFrom(const TableFile&) {} // a new file inherits the folder's access

long long TableFile::readAt(std::uint64_t offset, void* buf, std::size_t n) const
{
    OVERLAPPED ov{};
    ov.Offset = static_cast<DWORD>(offset);
    ov.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    if (!ReadFile(static_cast<HANDLE>(m_handle), buf, static_cast<DWORD>(n), &got, &ov))
        return GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
    return got;
}

bool TableFile::writeAt(std::uint64_t offset, const void* buf, std::size_t n)
{
    OVERLAPPED ov{};
    ov.Offset = static_cast<DWORD>(offset);
    ov.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD put = 0;
    if (!WriteFile(static_cast<HANDLE>(m_handle), buf, static_cast<DWORD>(n), &put, &ov) ||
        put != n) {
        m_lastError = static_cast<int>(GetLastError());
        return false;
    }
    return true;
}

bool TableFile::truncate(std::uint64_t length)
{
    LARGE_INTEGER li;
    li.QuadPart = static_cast<LONGLONG>(length);
    return SetFilePointerEx(static_cast<HANDLE>(m_handle), li, nullptr, FILE_BEGIN) &&
           SetEndOfFile(static_cast<HANDLE>(m_handle));
}

bool TableFile::sync()
{
    return FlushFileBuffers(static_cast<HANDLE>(m_handle)) != 0;
}

std::string TableFile::lastErrorText() const
{
    return "system error " + std::to_string(m_lastError);
}

bool TableFile::removeFile(const std::string& path)
{
    return DeleteFileW(widen(path).c_str()) != 0;
}

bool TableFile::replaceFile(const std::string& from, const std::string& to)
{
    return MoveFileExW(widen(from).c_str(), widen(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

#else

TableFile::OpenResult TableFile::open(const std::string& path, bool create)
{
    close();
    int flags = O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0);
    int fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0) {
        m_lastError = errno;
        return errno == ENOENT ? OpenResult::NotFound : OpenResult::Failed;
    }
    // An open-file-description lock: it conflicts with any other open of the
    // file that asks for it, in this process or another, and leaves plain
    // readers alone.
    struct flock lk;
    std::memset(&lk, 0, sizeof lk);
    lk.l_type = F_WRLCK;
    lk.l_whence = SEEK_SET;
    if (::fcntl(fd, F_OFD_SETLK, &lk) != 0) {
        m_lastError = errno;
        ::close(fd);
        return (m_lastError == EAGAIN || m_lastError == EACCES) ? OpenResult::Locked
                                                                : OpenResult::Failed;
    }
    m_fd = fd;
    return OpenResult::Ok;
}

void TableFile::close()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

bool TableFile::isOpen() const
{
    return m_fd >= 0;
}

bool TableFile::size(std::uint64_t& out) const
{
    struct stat st;
    if (::fstat(m_fd, &st) != 0)
        return false;
    out = static_cast<std::uint64_t>(st.st_size);
    return true;
}

bool TableFile::isRegularFile() const
{
    struct stat st;
    return ::fstat(m_fd, &st) == 0 && S_ISREG(st.st_mode);
}

void TableFile::takeAccessFrom(const TableFile& other)
{
    struct stat st;
    if (::fstat(other.m_fd, &st) != 0)
        return;
    // Changing the owner needs privileges; without them the file stays ours.
    (void)!::fchown(m_fd, st.st_uid, st.st_gid);
    (void)!::fchmod(m_fd, st.st_mode & 07777);
}

long long TableFile::readAt(std::uint64_t offset, void* buf, std::size_t n) const
{
    std::size_t done = 0;
    auto* p = static_cast<char*>(buf);
    while (done < n) {
        ssize_t r = ::pread(m_fd, p + done, n - done, static_cast<off_t>(offset + done));
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (r == 0)
            break;
        done += static_cast<std::size_t>(r);
    }
    return static_cast<long long>(done);
}

bool TableFile::writeAt(std::uint64_t offset, const void* buf, std::size_t n)
{
    std::size_t done = 0;
    const auto* p = static_cast<const char*>(buf);
    while (done < n) {
        ssize_t r = ::pwrite(m_fd, p + done, n - done, static_cast<off_t>(offset + done));
        if (r < 0) {
            if (errno == EINTR)
                continue;
            m_lastError = errno;
            return false;
        }
        if (r == 0) {
            m_lastError = ENOSPC;
            return false;
        }
        done += static_cast<std::size_t>(r);
    }
    return true;
}

bool TableFile::truncate(std::uint64_t length)
{
    if (::ftruncate(m_fd, static_cast<off_t>(length)) != 0) {
        m_lastError = errno;
        return false;
    }
    return true;
}

bool TableFile::sync()
{
    return ::fsync(m_fd) == 0;
}

std::string TableFile::lastErrorText() const
{
    return std::strerror(m_lastError);
}

bool TableFile::removeFile(const std::string& path)
{
    return ::unlink(path.c_str()) == 0;
}

bool TableFile::replaceFile(const std::string& from, const std::string& to)
{
    if (::rename(from.c_str(), to.c_str()) != 0)
        return false;
    // The new name reaches the disk with the folder.
    std::filesystem::path folder = std::filesystem::path(to).parent_path();
    if (folder.empty())
        folder = ".";
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
    return true;
}

#endif

} // namespace orx
