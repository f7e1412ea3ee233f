#include "ui/VersionInfo.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#ifndef ORX_FILE_VERSION
#define ORX_FILE_VERSION "0.0.0.0"
#endif

namespace orx::ui {

namespace {
constexpr std::uint16_t kLanguageRussian = 0x0419;
constexpr std::uint16_t kCodePage1251 = 0x04E3;
constexpr const char* kStringTable = "\\StringFileInfo\\";
constexpr const char* kFileVersion = "FileVersion";
constexpr std::size_t kTranslationEntryLength = 4;

std::uint16_t wordLE(const std::string& bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                      (static_cast<unsigned char>(bytes[at + 1]) << 8));
}
} // namespace

std::string translationKey(std::uint16_t language, std::uint16_t codePage)
{
    char buf[9];
    std::snprintf(buf, sizeof buf, "%04X%04X", static_cast<unsigned>(language),
                  static_cast<unsigned>(codePage));
    return buf;
}

VersionRecord::VersionRecord(std::uint16_t language, std::uint16_t codePage,
                             const std::string& fileVersion)
{
    std::string entry(kTranslationEntryLength, '\0');
    entry[0] = static_cast<char>(language & 0xFF);
    entry[1] = static_cast<char>(language >> 8);
    entry[2] = static_cast<char>(codePage & 0xFF);
    entry[3] = static_cast<char>(codePage >> 8);
    set(kTranslationQuery, entry);
    set(std::string(kStringTable) + translationKey(language, codePage) + "\\" + kFileVersion,
        fileVersion);
}

std::size_t VersionRecord::size() const
{
    std::size_t n = 0;
    for (const auto& [path, value] : m_values)
        n += path.size() + value.size() + 1;
    return n;
}

std::optional<std::string> VersionRecord::query(std::string_view path) const
{
    auto it = m_values.find(path);
    if (it == m_values.end())
        return std::nullopt;
    return it->second;
}

std::string GetFileVersionText(const VersionInfo& info)
{
    if (info.size() == 0)
        return kNoVersion;
    std::string language;
    const auto translation = info.query(kTranslationQuery);
    if (translation && translation->size() > 3)
        language = translationKey(wordLE(*translation, 0), wordLE(*translation, 2));
    const auto version = info.query(std::string(kStringTable) + language + "\\" + kFileVersion);
    if (!version || version->size() < 2)
        return kNoVersion;
    return *version;
}

std::string GetFileVersionText(const std::string& executablePath)
{
    std::error_code ec;
#ifdef __linux__
    if (std::filesystem::equivalent(executablePath, "/proc/self/exe", ec) && !ec)
        return GetFileVersionText(programVersionInfo());
#endif
    return kNoVersion;
}

const VersionRecord& programVersionInfo()
{
    static const VersionRecord record(kLanguageRussian, kCodePage1251, ORX_FILE_VERSION);
    return record;
}

} // namespace orx::ui
