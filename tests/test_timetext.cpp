// The time texts: time of day, elapsed time with its day carry, saved entry.
#include <gtest/gtest.h>

#include "../trv/TRV.h"
#include "elapsed_text.h"
#include "fakewin.h"

#include <rapidcheck/gtest.h>

#include <stdlib.h>

#include <algorithm>

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
        Fake.localTime = SYSTEMTIME{0, 0, 0, 0, c.hour, c.minute, c.second, c.ms};
        char out[STRING_CCH];
        FormatTimeOfDay(out);
        EXPECT_STREQ(c.text, out);
    }
}

// Any start and any readings up to the tick's wrap, with any day count before them: every
// text is well formed, its day count is the one carried, and the days carried and the rest add
// up to the time since the start, cut to the hundredth. Whole days move the start on with them.
RC_GTEST_PROP(Elapsed, CarriesWholeDaysAndShowsTheRestToTheHundredth, ())
{
    using namespace rc::gen;
    const DWORD start = *arbitrary<DWORD>();
    const DWORD daysBefore = *oneOf(just(0u), inRange(0u, 0xFFFFFFFFu - 50));
    auto since = *container<std::vector<DWORD>>(
        oneOf(arbitrary<DWORD>(), map(pair(inRange(0, 50), inRange(-20, 20)), [](auto dayAndMs) {
                  return (DWORD)(dayAndMs.first * MS_PER_DAY + dayAndMs.second);
              })));
    std::sort(since.begin(), since.end());
    ResetAll();
    DayCount = daysBefore;
    DWORD startTick = start;
    for (DWORD ms : since) {
        Fake.tick = start + ms;
        char out[STRING_CCH];
        FormatElapsed(startTick, out);
        const long long shown = ElapsedMs(out);
        if (shown < 0)
            RC_FAIL(std::string("ill-formed: ") + out);
        RC_ASSERT(strtoul(out, NULL, 10) == DayCount);
        const ULONGLONG carried = DayCount - daysBefore;
        RC_ASSERT((ULONGLONG)shown - (ULONGLONG)daysBefore * MS_PER_DAY == ms / 10 * 10ull);
        RC_ASSERT((DWORD)(startTick - start) == (DWORD)(carried * MS_PER_DAY));
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
