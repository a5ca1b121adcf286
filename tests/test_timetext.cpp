// The time texts: time of day, elapsed time with its day carry, saved entry.
#include <gtest/gtest.h>

#include "../trv/TRV.h"
#include "fakewin.h"

TEST(TimeOfDay, ShowsTenthsThenALiteralZero)
{
    struct Case {
        WORD hour, minute, second, ms;
        const char *text;
    } cases[] = {
        {14, 5, 9, 372, "14:05:09.30"},
        {0, 0, 0, 0, "00:00:00.00"},
        {23, 59, 59, 999, "23:59:59.90"},
        {9, 8, 7, 99, "09:08:07.00"},
        {12, 30, 0, 100, "12:30:00.10"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        ResetAll();
        Fake.localTime.wHour = c.hour;
        Fake.localTime.wMinute = c.minute;
        Fake.localTime.wSecond = c.second;
        Fake.localTime.wMilliseconds = c.ms;
        char out[STRING_CCH];
        FormatTimeOfDay(out);
        EXPECT_STREQ(c.text, out);
    }
}

TEST(Elapsed, CarriesWholeDaysIntoDayCountAndStartTick)
{
    struct Case {
        DWORD start, now, dayCountBefore;
        const char *text;
        DWORD dayCountAfter, startAfter;
    } cases[] = {
        {1000, 1000, 0, "0 00:00:00.00", 0, 1000},
        {0, 86399999, 0, "0 23:59:59.99", 0, 0},
        {0, 86400000, 0, "1 00:00:00.00", 1, 86400000},
        {86400000, 86400010, 1, "1 00:00:00.01", 1, 86400000},
        {5, 2 * 86400000 + 505, 0, "2 00:00:00.50", 2, 2 * 86400000 + 5},
        {0xFFFFFF00u, 0x100, 0, "0 00:00:00.51", 0, 0xFFFFFF00u},
        {0, 3723450, 0, "0 01:02:03.45", 0, 0},
        {0, 0, 4294967295u, "4294967295 00:00:00.00", 4294967295u, 0},
        // a wrapped difference of more than a day
        {0xFFFFFFF0u, 86400000 - 0x10 + 20, 3, "4 00:00:00.02", 4, 86400000 - 0x10},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        ResetAll();
        DayCount = c.dayCountBefore;
        Fake.tick = c.now;
        DWORD start = c.start;
        char out[STRING_CCH];
        FormatElapsed(start, out);
        EXPECT_STREQ(c.text, out);
        EXPECT_EQ(c.dayCountAfter, DayCount);
        EXPECT_EQ(c.startAfter, start);
    }
}

TEST(SavedEntry, PutsTheNumberBeforeTheElapsedText)
{
    char out[STRING_CCH];
    FormatSavedEntry(3, "0 00:01:15.62", out);
    EXPECT_STREQ("3: 0 00:01:15.62", out);
    FormatSavedEntry(2147483647, "4294967295 23:59:59.99", out);
    EXPECT_STREQ("2147483647: 4294967295 23:59:59.99", out);
}
