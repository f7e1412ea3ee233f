#pragma once

#include <stdexcept>
#include <string>

namespace orx {

// Errors of the archive layer: an offset outside the archive image, and a
// stored date and time that do not convert. The text is the one the operator
// sees in the general error box.
class ArchiveError : public std::runtime_error
{
public:
    enum class Kind { Range, Conversion };
    ArchiveError(Kind kind, const std::string& text) : std::runtime_error(text), m_kind(kind) {}
    Kind kind() const { return m_kind; }

private:
    Kind m_kind;
};

} // namespace orx
