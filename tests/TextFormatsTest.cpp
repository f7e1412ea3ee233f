#include "archive/Cp1251.h"
#include "archive/TextFormats.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>

using namespace orx;

namespace {

struct DateCase
{
    int y, m, d;
    const char* text;
};

struct TimeCase
{
    int h, m, s;
    const char* full;
    const char* brief;
};

struct TempCase
{
    double value;
    const char* operational;
    const char* observation;
};

// Every format is checked under each of these locales: the C locale (point),
// and generated locales whose decimal separator is a point and a comma.
class UnderLocale : public ::testing::TestWithParam<const char*>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(std::setlocale(LC_ALL, GetParam()))
            << "locale " << GetParam() << " is not available (LOCPATH not set?)";
        if (std::string(GetParam()) == "ru_RU.UTF-8") {
            char buf[16];
            std::snprintf(buf, sizeof buf, "%.1f", 1.5);
            ASSERT_STREQ(buf, "1,5") << "the comma locale must really use a comma";
        }
    }
    void TearDown() override { std::setlocale(LC_ALL, "C"); }
};

} // namespace

TEST_P(UnderLocale, Dates)
{
    const DateCase cases[] = {
        {7, 3, 0, "01.03.2007"},  {7, 3, 32, "01.03.2007"}, {7, 13, 5, "05.01.2007"},
        {7, 12, 5, "05.12.2007"}, {7, 0, 9, "09.01.2007"},  {7, 2, 31, "31.02.2007"},
        {0, 1, 1, "01.01.2000"},  {255, 1, 1, "01.01.2255"}, {24, 10, 31, "31.10.2024"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatArchiveDate(c.y, c.m, c.d), c.text) << c.y << "/" << c.m << "/" << c.d;
}

TEST_P(UnderLocale, Times)
{
    const TimeCase cases[] = {
        {24, 5, 7, "00:05:07", "00:05"},   {12, 60, 7, "12:00:07", "12:00"},
        {23, 59, 60, "23:59:00", "23:59"}, {0, 0, 0, "00:00:00", "00:00"},
        {9, 8, 7, "09:08:07", "09:08"},    {255, 255, 255, "00:00:00", "00:00"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatArchiveTime(c.h, c.m, c.s), c.full);
        EXPECT_EQ(FormatArchiveShortTime(c.h, c.m), c.brief);
    }
}

TEST_P(UnderLocale, Temperatures)
{
    const TempCase cases[] = {
        {23.5, "23,5", "23,50"},   {20.0, "20", "20,00"},     {0.0, "0", "0,0"},
        {-12.8, "-12,8", "-12,8"}, {-5.3, "-5,3", "-5,30"},   {100.5, "100,5", "100,5"},
        {3276.7, "3276,", "3276,"}, {-0.6, "-0,6", "-0,60"},  {0.1, "0,1", "0,10"},
        {-3277.3, "-3277", "-3277"}, {1.2, "1,2", "1,20"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(formatOperationalTemperature(c.value), c.operational) << c.value;
        EXPECT_EQ(formatObservationTemperature(c.value), c.observation) << c.value;
    }
}

TEST_P(UnderLocale, GeneralNumbersAndParsing)
{
    EXPECT_EQ(formatGeneral(0.1 + 0.2), "0,3");
    EXPECT_EQ(formatGeneral(123456789012345678.0), "1,23456789012346E17");
    EXPECT_EQ(formatGeneral(0.00001), "1E-5");
    EXPECT_EQ(*parseArchiveNumber("23,5"), 23.5);
    EXPECT_EQ(*parseArchiveNumber("-12,8"), -12.8);
    EXPECT_EQ(*parseArchiveNumber("0,0"), 0.0);
    EXPECT_EQ(*parseArchiveNumber(" 20 "), 20.0);
    EXPECT_FALSE(parseArchiveNumber("23.5"));
    EXPECT_FALSE(parseArchiveNumber(""));
    EXPECT_FALSE(parseArchiveNumber("1,2,3"));
    EXPECT_FALSE(parseArchiveNumber("abc"));
}

INSTANTIATE_TEST_SUITE_P(Locales, UnderLocale,
                         ::testing::Values("C", "en_US.UTF-8", "ru_RU.UTF-8"));

TEST(ArchiveMoment, ParsesDateAndTimeTexts)
{
    auto a = ArchiveSeconds("01.03.2007", "00:05:07");
    auto b = ArchiveSeconds("01.03.2007", "00:05");
    ASSERT_TRUE(a && b);
    EXPECT_EQ(*a - *b, 7);
    EXPECT_EQ(*ArchiveSeconds("02.03.2007", "00:00") - *ArchiveSeconds("01.03.2007", "00:00"), 86400);
    // Across a month and a year end.
    EXPECT_LT(*ArchiveSeconds("31.12.2007", "23:59:59"), *ArchiveSeconds("01.01.2008", "00:00:00"));
    EXPECT_EQ(*ArchiveSeconds("01.03.2008", "00:00") - *ArchiveSeconds("28.02.2008", "00:00"), 2 * 86400);
    // A day past the month's end (as the date format allows) still orders after the days before it.
    EXPECT_LT(*ArchiveSeconds("30.02.2007", "00:00"), *ArchiveSeconds("31.02.2007", "00:00"));
    const char* bad[][2] = {{"", ""}, {"01.03.2007", ""}, {"xx.03.2007", "00:00"},
                            {"01.13.2007", "00:00"}, {"01.03.2007", "24:00"}, {"01.03.2007", "12:60"},
                            {"01/03/2007", "00:00"}, {"01.03.2007", "00:00:61"}, {"00.03.2007", "00:00"}};
    for (auto& t : bad)
        EXPECT_FALSE(ArchiveSeconds(t[0], t[1])) << t[0] << " " << t[1];
}

TEST(Cp1251, RoundTripsEveryByte)
{
    std::string all;
    for (int b = 1; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    EXPECT_EQ(utf8ToCp1251(cp1251ToUtf8(all)), all);
    EXPECT_EQ(cp1251ToUtf8("\xCE\xEF\xE5\xF0\xE0\xF2\xE8\xE2\xED\xFB\xE9"), "Оперативный");
    EXPECT_EQ(utf8ToCp1251("Наб. №1"), "\xCD\xE0\xE1. \xB9" "1");
    EXPECT_EQ(utf8ToCp1251("日本"), "??");
    EXPECT_EQ(utf8ToCp1251("\xC3"), "?"); // a cut sequence
}
