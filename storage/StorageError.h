#pragma once

#include <stdexcept>
#include <string>

namespace orx {

// The one error type of the storage layer. The text is plain English for logs,
// except where the table gives the operator a text of its own (kWriteErrorText).
class StorageError : public std::runtime_error
{
public:
    enum class Kind {
        NotFound,     // no such file
        Locked,       // another process holds the table open for writing
        NotATable,    // the bytes are not an archive table
        Io,           // the operating system refused a read or a seek
        WriteFailed,  // a write did not reach the file
        NotOpen,      // an operation that needs an open table
        BadState,     // an operation not allowed in the current editing state
        UnknownColumn,
        BadFilter,
        Conversion,   // a stored text that does not convert to a number
    };

    StorageError(Kind kind, const std::string& text) : std::runtime_error(text), m_kind(kind) {}
    Kind kind() const { return m_kind; }

private:
    Kind m_kind;
};

inline constexpr const char* kWriteErrorText = "Error while writing occurred. (Disk full?)";

} // namespace orx
