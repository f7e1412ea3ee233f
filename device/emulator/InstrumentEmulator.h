#pragma once

// The instrument's side of the exchange, for the emulated instrument and the
// tests: answers 'V' with the identification and 'N' with the archive as
// hex pairs between 'S' and 'P'; generates realistic archives.

#include <cstdint>
#include <string>
#include <vector>

namespace orx::emu {

// Two characters per byte, low nibble first, each 0x30 + nibble.
std::string hexPairs(const std::vector<std::uint8_t>& bytes);
// The 14-character identification: type, version bytes A, B, C, then six
// characters the tool does not read.
std::string identification(std::uint8_t type, std::uint8_t a, std::uint8_t b, std::uint8_t c);

struct Behaviour
{
    std::uint8_t type = 5;
    std::uint8_t versionA = 7; // shown as C.B.A: 15.03.07
    std::uint8_t versionB = 3;
    std::uint8_t versionC = 15;
    int busyReplies = 0;        // 'Z' for the first identification requests
    bool busyForever = false;   // 'Z' for every identification request
    bool splitIdentification = false;
    std::string identificationPrefix; // makes the reply longer than 14 characters
    std::string noiseBeforeStart;
    bool silent = false;
    bool badPair = false;       // one pair outside the code
    bool oddLength = false;     // one character too few
    long hangUpAfter = -1;      // close the line after this many archive characters
    long stallAfter = -1;       // fall silent after this many archive characters, line kept open
    int archiveCharacterMs = 0; // a pause before every character of the archive stream
};

struct Reply
{
    std::string bytes;
    int delayMs = 0; // pause before these bytes
};

class InstrumentEmulator
{
public:
    InstrumentEmulator(Behaviour behaviour, std::vector<std::uint8_t> archive);

    // The replies to one byte from the tool.
    std::vector<Reply> onByte(char request);
    const std::vector<std::uint8_t>& archive() const { return m_archive; }
    int archivesSent() const { return m_archivesSent; }

private:
    Behaviour m_behaviour;
    std::vector<std::uint8_t> m_archive;
    int m_busyLeft;
    int m_archivesSent = 0;
    bool m_stalled = false; // fallen silent mid-archive: no more replies
};

struct GeneratorOptions
{
    int operationalReadings = 120;
    int observations = 3;
    int readingsPerObservation = 60;
    unsigned seed = 1;
};

// Operational spot readings of several modules and sensors over some days,
// and observations in chosen slots with their durations, periods and
// temperature curves.
std::vector<std::uint8_t> generateArchive(const GeneratorOptions& options);

// The same archive with `count` newer readings added to the end of every
// block, as the instrument holds it after logging on.
std::vector<std::uint8_t> extendArchive(const std::vector<std::uint8_t>& archive, int count,
                                        unsigned seed = 1);

} // namespace orx::emu
