// The clock controller: states, timer periods, saving, flashing, fatal timer failures.
#include <gtest/gtest.h>

#include <stdio.h>

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
    // The frozen reading is the moment of Stop, not the last tick's.
    EXPECT_EQ((Calls{"SetDlgItemTextA main 135 0 00:00:01.23", "KillTimer main 1",
                     "SetTimer main 1 100 null"}),
              Fake.calls);
    EXPECT_EQ(0, Running);
}

// The controls a step wrote, in order: "time" (IDC_CURRENT) and "elapsed" (IDC_ELAPSED).
static std::string Writes()
{
    std::string writes;
    const std::string prefix = "SetDlgItemTextA main ";
    for (const std::string &call : CallsStartingWith(prefix)) {
        int id = std::stoi(call.substr(prefix.size()));
        writes += std::string(writes.empty() ? "" : " ") + (id == IDC_CURRENT ? "time" : "elapsed");
    }
    return writes;
}

// One scripted session: each step is an action at a tick, then what the window shows. The
// time of day follows the tick; it is written only when its text changes, the elapsed text
// at every running tick.
TEST(Clock, RunsStopsAndSavesAcrossRuns)
{
    enum Action { TICK, TOGGLE, SAVE };
    struct Step {
        Action action;
        DWORD tick;
        const char *writes;    // the controls written, in order
        const char *elapsed;   // text of IDC_ELAPSED afterwards
        size_t entries;        // list size afterwards
        const char *lastEntry; // newest entry, when entries > 0
        int beeps;
    } steps[] = {
        {TICK, 100, "time", "(never written)", 0, "", 0}, // the first tick writes the time
        {TICK, 150, "", "(never written)", 0, "", 0},     // the same tenth: nothing
        {TICK, 200, "time", "(never written)", 0, "", 0}, // the next tenth
        {SAVE, 250, "", "(never written)", 0, "", 1},     // refused before the first start
        {TOGGLE, 1000, "", "(never written)", 0, "", 1},
        {TICK, 1010, "time elapsed", "0 00:00:00.01", 0, "", 1},
        {TICK, 1020, "elapsed", "0 00:00:00.02", 0, "", 1}, // running, within one tenth
        {TICK, 1099, "elapsed", "0 00:00:00.09", 0, "", 1},
        {TICK, 1100, "time elapsed", "0 00:00:00.10", 0, "", 1},
        {SAVE, 5270, "", "0 00:00:00.10", 1, "1: 0 00:00:04.27", 1}, // a save writes no text
        {TICK, 5280, "time elapsed", "0 00:00:04.28", 1, "1: 0 00:00:04.27", 1},
        {SAVE, 61000, "", "0 00:00:04.28", 2, "2: 0 00:01:00.00", 1},
        {TOGGLE, 62000, "elapsed", "0 00:01:01.00", 2, "2: 0 00:01:00.00", 1},
        {TICK, 70000, "time", "0 00:01:01.00", 2, "2: 0 00:01:00.00", 1}, // stopped: frozen
        {SAVE, 70010, "", "0 00:01:01.00", 2, "2: 0 00:01:00.00", 2},
        {TOGGLE, 80000, "", "0 00:01:01.00", 2, "2: 0 00:01:00.00", 2},
        {TICK, 80500, "time elapsed", "0 00:00:00.50", 2, "2: 0 00:01:00.00", 2}, // new start
        {SAVE, 81000, "", "0 00:00:00.50", 3, "3: 0 00:00:01.00", 2}, // numbering runs on
    };
    ResetAll();
    int number = 0;
    for (const Step &s : steps) {
        SCOPED_TRACE(testing::Message() << "step " << ++number << " at tick " << s.tick);
        Fake.calls.clear();
        Fake.tick = s.tick;
        Fake.localTime.wSecond = (WORD)(s.tick / 1000 % 60);
        Fake.localTime.wMilliseconds = (WORD)(s.tick % 1000);
        s.action == TICK ? ClockTick() : s.action == TOGGLE ? ClockToggle() : ClockSave();
        EXPECT_EQ(s.writes, Writes());
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

namespace {

const ULONGLONG SECOND = 1000, MINUTE = 60 * SECOND, DAY = MS_PER_DAY, WRAP = 1ull << 32;
const ULONGLONG UP = 3 * DAY + 12345; // the machine's uptime at the first start
const ULONGLONG STEP = 55;           // GetTickCount's step on Windows 95, and the reading's

// The fake's two clocks at one true time: GetTickCount in 55 ms steps, modulo 2^32, and the
// counter at FREQUENCY a second from its own account of the time, COUNTER_MS.
void SetClocks(ULONGLONG trueMs, ULONGLONG counterMs, LONGLONG frequency)
{
    Fake.tick = (DWORD)(trueMs / STEP * STEP);
    Fake.count = (LONGLONG)(counterMs / SECOND * (ULONGLONG)frequency +
                            (counterMs % SECOND * (ULONGLONG)frequency + 999) / SECOND);
}

// "D hh:mm:ss.hh" as milliseconds.
long long Ms(const std::string &text)
{
    unsigned long days, h, m, s, cs;
    if (sscanf(text.c_str(), "%lu %lu:%lu:%lu.%lu", &days, &h, &m, &s, &cs) != 5)
        return -1;
    return (((long long)days * 24 + h) * 60 + m) * 60000 + s * 1000 + cs * 10;
}

} // namespace

// Every reading, from one true time: each run is read every 55 ms from its start to its stop,
// and the clock reads nothing while it stands stopped between runs. A counter that behaves
// gives the true time cut to the hundredth; one that misbehaves is held to GetTickCount, so
// that no reading is further from the true time than the tolerance and one 55 ms step (and
// the hundredth the display cuts off). No reading of a run is smaller than the one before.
TEST(Tick, EveryReadingIsHeldToTheTrueTimeAndNeverRunsBack)
{
    struct Run {
        ULONGLONG start, stop; // true time
    };
    struct Case {
        const char *name;
        LONGLONG frequency; // 0: no counter
        std::vector<Run> runs;
        ULONGLONG (*counterMs)(ULONGLONG trueMs);
        bool exact;
    } cases[] = {
        {"a counter at 1 kHz", 1000, {{UP, UP + MINUTE}}, [](ULONGLONG t) { return t; }, true},
        {"1,193,182 a second, a count near 2^40", 1193182, {{921495329, 921495329 + MINUTE}},
         [](ULONGLONG t) { return t; }, true},
        {"3 GHz after 80 days: no product overflows", 3000000000, {{80 * DAY, 80 * DAY + MINUTE}},
         [](ULONGLONG t) { return t; }, true},
        {"a frequency past 32 bits", 5000000000, {{UP, UP + MINUTE}},
         [](ULONGLONG t) { return t; }, true},
        {"a start after 39 days stopped, GetTickCount's wrap in the run", 1193182,
         {{WRAP - 39 * DAY - 5 * SECOND, WRAP - 39 * DAY + 5 * SECOND},
          {WRAP - 5 * SECOND, WRAP + 5 * SECOND}},
         [](ULONGLONG t) { return t; }, true},
        {"a leap of 4 s", 1193182, {{UP, UP + MINUTE}},
         [](ULONGLONG t) { return t < UP + 20 * SECOND ? t : t + 4 * SECOND; }, false},
        {"a minute's sleep with the counter stopped", 1193182, {{UP, UP + 2 * MINUTE}},
         [](ULONGLONG t) {
             const ULONGLONG SLEEP = UP + 1150;
             return t < SLEEP ? t : t < SLEEP + MINUTE ? SLEEP : t - MINUTE;
         },
         false},
        {"a counter started again after a resume, and the run after it", 1193182,
         {{UP, UP + 9400}, {UP + 20 * SECOND, UP + 30 * SECOND}},
         [](ULONGLONG t) { return t < UP + 1100 ? t : t - (UP + 1100); }, false},
        {"half rate for ten minutes", 1193182, {{UP, UP + 10 * MINUTE}},
         [](ULONGLONG t) { return t / 2; }, false},
        {"100 ppm fast for a day, across the day's carry", 1193182, {{UP, UP + DAY + MINUTE}},
         [](ULONGLONG t) { return t + t / 10000; }, false},
        {"steps back of 2 ms", 1193182, {{UP, UP + MINUTE}},
         [](ULONGLONG t) { return (t - UP) / STEP % 10 == 5 ? t - STEP - 2 : t; }, false},
        {"no counter: GetTickCount", 0, {{UP, UP + MINUTE}}, [](ULONGLONG t) { return t; },
         false},
    };
    const long long BOUND = TICK_TOLERANCE + STEP, CUT = 9;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ResetAll();
        Fake.frequency = c.frequency;
        for (const Run &run : c.runs) {
            SetClocks(run.start, c.counterMs(run.start), c.frequency);
            ClockToggle();
            long long previous = 0;
            int failures = 0;
            for (ULONGLONG t = run.start + STEP; t <= run.stop && failures < 3; t += STEP) {
                SetClocks(t, c.counterMs(t), c.frequency);
                char text[STRING_CCH];
                FormatElapsed(StartTick, text);
                long long reading = Ms(text), truth = (long long)(t - run.start);
                bool right = c.exact ? reading == truth / 10 * 10
                                     : reading <= truth + BOUND && reading >= truth - BOUND - CUT;
                failures += !right || reading < previous;
                EXPECT_TRUE(right) << text << " at a true " << truth << " ms";
                EXPECT_GE(reading, previous) << text << " at a true " << truth << " ms";
                previous = reading;
            }
            ClockToggle();
        }
        EXPECT_EQ(1, Fake.frequencyQueries);
    }
}
