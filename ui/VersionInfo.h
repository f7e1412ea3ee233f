#pragma once

// The program's version information: a record compiled in from the project
// version, queried the way a Windows version resource is queried: the first
// translation entry picks the string table, "FileVersion" is read from it.
// Plain C++.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orx::ui {

inline constexpr const char* kNoVersion = "0.0.0.0";
inline constexpr const char* kTranslationQuery = "\\VarFileInfo\\Translation";

class VersionInfo
{
public:
    virtual ~VersionInfo() = default;
    // Bytes of the whole version information; 0 when there is none.
    virtual std::size_t size() const = 0;
    // The value at a query path: the bytes of a binary value or the text of a string.
    virtual std::optional<std::string> query(std::string_view path) const = 0;
};

// Version information held as query paths and their values.
class VersionRecord : public VersionInfo
{
public:
    VersionRecord() = default;
    // A record with one translation entry and a "FileVersion" string in its table.
    VersionRecord(std::uint16_t language, std::uint16_t codePage, const std::string& fileVersion);
    void set(const std::string& path, const std::string& value) { m_values[path] = value; }
    std::size_t size() const override;
    std::optional<std::string> query(std::string_view path) const override;

private:
    std::map<std::string, std::string, std::less<>> m_values;
};

// "041904E3": language word then code-page word, four upper-case hex digits each.
std::string translationKey(std::uint16_t language, std::uint16_t codePage);

std::string GetFileVersionText(const VersionInfo& info);
// The version text of an executable: ours carries the compiled-in record;
// a file without version information gives "0.0.0.0".
std::string GetFileVersionText(const std::string& executablePath);

// The record compiled into this program.
const VersionRecord& programVersionInfo();

} // namespace orx::ui
