// The clock controller: states, timer periods, saving, flashing, fatal timer failures.
#include <gtest/gtest.h>

#include "../trv/TRV.h"
#include "fakewin.h"

using Calls = std::vector<std::string>;

static std::string Elapsed()
{
    auto it = Fake.texts.find(IDC_ELAPSED);
    return it == Fake.texts.end() ? "(never written)" : it->second;
}

TEST(Clock, StartArmsTheIdleTimerAndWritesNothing)
{
    ResetAll();
    ClockStart();
    EXPECT_EQ(Calls{"SetTimer main 1 100 null"}, Fake.calls);
    EXPECT_TRUE(Fake.texts.empty());
}

TEST(Clock, TogglesArmTheTimerAtThePeriodOfTheNewState)
{
    ResetAll();
    Fake.tick = 5000;
    ClockToggle();
    EXPECT_EQ((Calls{"KillTimer main 1", "SetTimer main 1 1 null"}), Fake.calls);
    EXPECT_EQ(1, Running);
    EXPECT_EQ(5000u, StartTick);

    Fake.calls.clear();
    Fake.tick = 6234;
    ClockToggle();
    EXPECT_EQ((Calls{"KillTimer main 1", "SetTimer main 1 100 null"}), Fake.calls);
    EXPECT_EQ(0, Running);
    // The frozen reading is the moment of Stop, not the last tick's.
    EXPECT_EQ("0 00:00:01.23", Elapsed());
}

// One scripted session: each step is an action at a tick, then what the window shows.
TEST(Clock, RunsStopsAndSavesAcrossRuns)
{
    enum Action { TICK, TOGGLE, SAVE };
    struct Step {
        Action action;
        DWORD tick;
        const char *elapsed;   // text of IDC_ELAPSED afterwards
        size_t entries;        // list size afterwards
        const char *lastEntry; // newest entry, when entries > 0
        int beeps;
    } steps[] = {
        {TICK, 100, "(never written)", 0, "", 0},
        {SAVE, 150, "(never written)", 0, "", 1}, // refused before the first start
        {TOGGLE, 1000, "(never written)", 0, "", 1},
        {TICK, 1010, "0 00:00:00.01", 0, "", 1},
        {SAVE, 5270, "0 00:00:00.01", 1, "1: 0 00:00:04.27", 1}, // a save writes no display
        {TICK, 5280, "0 00:00:04.28", 1, "1: 0 00:00:04.27", 1},
        {SAVE, 61000, "0 00:00:04.28", 2, "2: 0 00:01:00.00", 1},
        {TOGGLE, 62000, "0 00:01:01.00", 2, "2: 0 00:01:00.00", 1},
        {TICK, 70000, "0 00:01:01.00", 2, "2: 0 00:01:00.00", 1}, // stopped: frozen
        {SAVE, 70010, "0 00:01:01.00", 2, "2: 0 00:01:00.00", 2},
        {TOGGLE, 80000, "0 00:01:01.00", 2, "2: 0 00:01:00.00", 2},
        {TICK, 80500, "0 00:00:00.50", 2, "2: 0 00:01:00.00", 2}, // counts from the new start
        {SAVE, 81000, "0 00:00:00.50", 3, "3: 0 00:00:01.00", 2}, // numbering runs on
    };
    ResetAll();
    int number = 0;
    for (const Step &s : steps) {
        SCOPED_TRACE(testing::Message() << "step " << ++number << " at tick " << s.tick);
        Fake.tick = s.tick;
        Fake.localTime.wSecond = (WORD)(s.tick / 1000 % 60);
        s.action == TICK ? ClockTick() : s.action == TOGGLE ? ClockToggle() : ClockSave();
        EXPECT_EQ(s.elapsed, Elapsed());
        ASSERT_EQ(s.entries, Fake.list.size());
        if (s.entries > 0) {
            EXPECT_EQ(s.lastEntry, Fake.list.back());
            EXPECT_EQ((int)s.entries - 1, Fake.listSelection);
        }
        EXPECT_EQ(s.beeps, Fake.beeps);
        if (s.action == TICK) {
            char now[STRING_CCH];
            FormatTimeOfDay(now);
            EXPECT_EQ(now, Fake.texts[IDC_CURRENT]);
        }
    }
}

TEST(Clock, SaveAppendsFindsFromTheTopAndSelects)
{
    ResetAll();
    Running = 1;
    Fake.tick = 4270;
    ClockSave();
    EXPECT_EQ((Calls{"LB_ADDSTRING 1: 0 00:00:04.27", "LB_FINDSTRING -1 1: 0 00:00:04.27",
                     "LB_SETCURSEL 0"}),
              Fake.calls);
}

TEST(Clock, SelectsByTheWholeIndexBeyond65535Entries)
{
    ResetAll();
    Fake.list.assign(70000, "x");
    Running = 1;
    ClockSave();
    EXPECT_EQ("LB_SETCURSEL 70000", Fake.calls.back());
    EXPECT_EQ(70000, Fake.listSelection);
}

// A list that cannot take the entry (on Windows 95 it holds at most 32,767) refuses the save
// as a save while stopped is: a beep, no number used up, nothing searched or selected.
TEST(Clock, ASaveTheListCannotTakeIsRefusedAndUsesNoNumber)
{
    struct Step {
        size_t capacity;
        Calls calls;
        int beeps;
        size_t entries;     // afterwards, the last of them selected
        const char *newest; // the last entry afterwards
    } steps[] = {
        {32767,
         {"LB_ADDSTRING 32767: 0 00:00:01.00", "LB_FINDSTRING -1 32767: 0 00:00:01.00",
          "LB_SETCURSEL 32766"},
         0, 32767, "32767: 0 00:00:01.00"},
        {32767, {"LB_ADDSTRING 32768: 0 00:00:01.00", "MessageBeep 0"}, 1, 32767,
         "32767: 0 00:00:01.00"},
        {32768,
         {"LB_ADDSTRING 32768: 0 00:00:01.00", "LB_FINDSTRING -1 32768: 0 00:00:01.00",
          "LB_SETCURSEL 32767"},
         1, 32768, "32768: 0 00:00:01.00"},
    };
    ResetAll();
    Fake.list.assign(32766, "x");
    SavedCount = 32766;
    Running = 1;
    Fake.tick = 1000;
    for (const Step &s : steps) {
        SCOPED_TRACE(testing::Message() << "capacity " << s.capacity << ", " << s.calls[0]);
        Fake.calls.clear();
        Fake.listCapacity = s.capacity;
        ClockSave();
        EXPECT_EQ(s.calls, Fake.calls);
        EXPECT_EQ(s.beeps, Fake.beeps);
        ASSERT_EQ(s.entries, Fake.list.size());
        EXPECT_EQ(s.newest, Fake.list.back());
        EXPECT_EQ((int)s.entries - 1, Fake.listSelection);
    }
}

TEST(Clock, NewRunStartsItsDayCountAtZero)
{
    ResetAll();
    Fake.tick = 0;
    ClockToggle();
    Fake.tick = 86400000 + 20;
    ClockTick();
    EXPECT_EQ("1 00:00:00.02", Elapsed());
    ClockToggle();
    Fake.tick += 1000;
    ClockToggle();
    Fake.tick += 10;
    ClockTick();
    EXPECT_EQ("0 00:00:00.01", Elapsed());
}

TEST(Clock, FlashesAtMostOncePerSecondWhileRunningMinimised)
{
    struct Step {
        DWORD tick;
        bool iconic, running;
        bool flashes;
    } steps[] = {
        {500, true, false, false},  // stopped: never
        {999, true, true, false},   // LastFlashTick 0: 999 ms is too soon
        {1000, true, true, true},   // at least 1000 ms since the last flash
        {1999, true, true, false},
        {2000, true, true, true},
        {9000, false, true, false}, // restored: no flash call
        {9001, true, true, true},   // minimised again: flashes at once
        {0xFFFFFFF0u, true, true, true},
        {0x100, true, true, false}, // 272 ms later, across the wrap
        {0x3F0, true, true, true},  // 1024 ms after the flash
    };
    ResetAll();
    for (const Step &s : steps) {
        SCOPED_TRACE(testing::Message() << "tick " << s.tick);
        Fake.calls.clear();
        Fake.tick = s.tick;
        Fake.iconic = s.iconic;
        Running = s.running;
        ClockTick();
        EXPECT_EQ(s.flashes ? 1u : 0u, CallsStartingWith("FlashWindow main 1").size());
        if (s.flashes) {
            EXPECT_EQ(s.tick, LastFlashTick);
        }
    }
}

TEST(Clock, TickAndSaveAllocateNothing)
{
    ResetAll();
    Fake.list.reserve(16);
    ClockToggle();
    ResetAllocationCount();
    for (int i = 0; i < 10; ++i) {
        Fake.tick += 10;
        ClockTick();
        ClockSave();
    }
    EXPECT_EQ(0, ProgramAllocations());
    EXPECT_EQ(10u, Fake.list.size());
}

// Each failed arming reports through the fatal check and ends the process with code 0.
TEST(Clock, TimerFailureIsFatalInEveryDirection)
{
    struct Case {
        const char *name;
        int running;
        void (*operation)(void);
    } cases[] = {
        {"creation", 0, ClockStart},
        {"start", 0, ClockToggle},
        {"stop", 1, ClockToggle},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ResetAll();
        Running = c.running;
        Fake.setTimerFails = true;
        EXPECT_THROW(c.operation(), FakeExit);
        EXPECT_TRUE(Fake.exited);
        EXPECT_EQ(0u, Fake.exitCode);
        ASSERT_EQ(2u, Fake.boxes.size());
        EXPECT_EQ("Timer not available", Fake.boxes[0].text);
        EXPECT_EQ("Tarvik 2 - Fatal Error", Fake.boxes[0].caption);
        EXPECT_EQ(c.running, Running); // the process ended before the state changed
    }
}

// The tick comes from the performance counter where there is one: exact to the millisecond
// however large the count, never backwards, and GetTickCount only where there is no counter.
TEST(Tick, ComesFromThePerformanceCounterWhereThereIsOne)
{
    struct Case {
        const char *name;
        LONGLONG frequency, earlierCount, count;
        DWORD expected;
    } cases[] = {
        {"no counter: the system timer's count", 0, 0, 5271, 5225},
        {"a counter at 1 kHz", 1000, 0, 5271, 5271},
        {"1,193,182 a second, a count near 2^40", 1193182, 0, 1099511640121, 921495329},
        {"3 GHz after 80 days: the low 32 bits, no overflow", 3000000000, 0, 20736002999999999,
         2617033703},
        {"a frequency past 32 bits", 5000000000, 0, 18000004999999, 3600000},
        {"a count a millisecond back gives the last one again", 1000, 5271, 5270, 5271},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ResetAll();
        Fake.frequency = c.frequency;
        Fake.tick = 5225;
        if (c.earlierCount != 0) {
            Fake.count = c.earlierCount;
            ReadTick();
        }
        Fake.count = c.count;
        EXPECT_EQ(c.expected, ReadTick());
        EXPECT_EQ(1, Fake.frequencyQueries);
    }
}

// Start, tick and stop read the counter, not the system timer, which here lags in 55 ms steps
// as on Windows 95.
TEST(Tick, ReadingsRunOnTheCounterAcrossWrapsStepsBackAndLongPauses)
{
    enum Action { TICK, TOGGLE };
    struct Step {
        Action action;
        ULONGLONG ms; // the counter's time
        const char *elapsed;
    };
    const ULONGLONG WRAP = 1ull << 32, DAY = MS_PER_DAY;
    struct Case {
        const char *name;
        LONGLONG frequency;
        std::vector<Step> steps;
    } cases[] = {
        {"start at 1,000 ms, stop at 5,271 ms", 1000,
         {{TOGGLE, 1000, "(never written)"}, {TOGGLE, 5271, "0 00:00:04.27"}}},
        {"the 32-bit milliseconds wrap between start and stop", 1193182,
         {{TOGGLE, WRAP - 500, "(never written)"}, {TOGGLE, WRAP + 1770, "0 00:00:02.27"}}},
        {"a step back leaves the reading and carries no day", 1000,
         {{TOGGLE, 1000, "(never written)"},
          {TICK, 2000, "0 00:00:01.00"},
          {TICK, 1999, "0 00:00:01.00"},
          {TICK, 2010, "0 00:00:01.01"}}},
        {"a start after 39 days stopped, the wrap before the next tick", 1193182,
         {{TOGGLE, WRAP - 1000 - 39 * DAY, "(never written)"},
          {TOGGLE, WRAP - 1000 - 39 * DAY + 10000, "0 00:00:10.00"},
          {TOGGLE, WRAP - 1000, "0 00:00:10.00"},
          {TICK, WRAP + 4270, "0 00:00:05.27"}}},
    };
    for (const Case &c : cases) {
        ResetAll();
        Fake.frequency = c.frequency;
        int number = 0;
        for (const Step &s : c.steps) {
            SCOPED_TRACE(testing::Message() << c.name << ", step " << ++number);
            Fake.count = (LONGLONG)((s.ms * (ULONGLONG)c.frequency + 999) / 1000);
            Fake.tick = (DWORD)(s.ms / 55 * 55);
            s.action == TICK ? ClockTick() : ClockToggle();
            EXPECT_EQ(s.elapsed, Elapsed());
            EXPECT_EQ(0u, DayCount);
        }
    }
}
