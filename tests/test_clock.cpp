// The clock controller: states, timer periods, saving, flashing, fatal timer failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "../trv/TRV.h"
#include "elapsed_text.h"
#include "fakewin.h"

#include <rapidcheck/gtest.h>

static std::string Elapsed()
{
    auto it = Fake.texts.find(IDC_ELAPSED);
    return it == Fake.texts.end() ? "(never written)" : it->second;
}

// Armed at the idle period on creation, with nothing written; re-armed at the new state's
// period at each toggle, after a Stop has frozen the reading of its moment.
TEST(Clock, ArmsTheTimerAtThePeriodOfEachState)
{
    ResetAll();
    ClockStart();
    Fake.tick = 5000;
    ClockToggle();
    Fake.tick = 6234;
    ClockToggle();
    EXPECT_EQ((Calls{"SetTimer main 1 100 null", "KillTimer main 1", "SetTimer main 1 1 null",
                     "SetDlgItemTextA main 135 0 00:00:01.23", "KillTimer main 1",
                     "SetTimer main 1 100 null"}),
              Fake.calls);
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
// at every running tick and at the Stop, never at a save.
TEST(Clock, WritesTheTimeOfDayWhenItChangesAndTheElapsedTimeWhileRunning)
{
    enum Action { TICK, TOGGLE, SAVE };
    struct Step {
        Action action;
        DWORD tick;
        const char *writes;  // the controls written, in order
        const char *elapsed; // text of IDC_ELAPSED afterwards
    } steps[] = {
        {TICK, 100, "time", "(never written)"}, // the first tick writes the time
        {TICK, 150, "", "(never written)"},     // the same tenth: nothing
        {TICK, 200, "time", "(never written)"}, // the next tenth
        {SAVE, 250, "", "(never written)"},     // refused: no text either
        {TOGGLE, 1000, "", "(never written)"},
        {TICK, 1010, "time elapsed", "0 00:00:00.01"},
        {TICK, 1020, "elapsed", "0 00:00:00.02"}, // running, within one tenth
        {TICK, 1099, "elapsed", "0 00:00:00.09"},
        {TICK, 1100, "time elapsed", "0 00:00:00.10"},
        {SAVE, 5270, "", "0 00:00:00.10"}, // a save writes no text
        {TICK, 5280, "time elapsed", "0 00:00:04.28"},
        {TOGGLE, 62000, "elapsed", "0 00:01:01.00"},
        {TICK, 70000, "time", "0 00:01:01.00"}, // stopped: frozen
        {SAVE, 70010, "", "0 00:01:01.00"},
        {TOGGLE, 80000, "", "0 00:01:01.00"},
        {TICK, 80500, "time elapsed", "0 00:00:00.50"}, // new start
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
        if (s.action == TICK) {
            char now[STRING_CCH];
            FormatTimeOfDay(now);
            EXPECT_EQ(now, Fake.texts[IDC_CURRENT]);
        }
    }
}

// The entry is found from the top of the list, and selected by its whole index.
TEST(Clock, SaveAppendsFindsFromTheTopAndSelects)
{
    ResetAll();
    Fake.list.assign(70000, "x");
    Running = 1;
    Fake.tick = 4270;
    ClockSave();
    EXPECT_EQ((Calls{"LB_ADDSTRING 1: 0 00:00:04.27", "LB_FINDSTRING -1 1: 0 00:00:04.27",
                     "LB_SETCURSEL 70000"}),
              Fake.calls);
    EXPECT_EQ(70000, Fake.listSelection);
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
        ExpectFatal(c.operation, "Timer not available", "trv/clock.cpp");
        EXPECT_EQ(c.running, Running); // the process ended before the state changed
    }
}

namespace {

const DWORD SECOND = 1000, DAY = MS_PER_DAY;
const ULONGLONG WRAP = 1ull << 32;
// What the counter does at an event: keeps on at its rate, takes up a rate in percent (BEHAVES
// 100, RUNS_AT 0 to 399, where 0 stands still), or does something at that instant.
enum Counter { KEEPS_ON, BEHAVES, RUNS_AT, LEAPS, RESTARTS, STEPS_BACK, FAILS };
const char *const COUNTER[] = {"", "behaves", "runs at", "leaps", "restarts", "steps back", "fails"};
enum Action { TICK, TOGGLE, SAVE };
const char *const ACTION[] = {"tick", "toggle", "save"};

struct Event {
    Action action;
    DWORD ms;        // true time since the event before
    Counter counter; // what the counter did meanwhile
    DWORD amount;    // a rate in percent, the ms of a leap or a step back, a restart's count
    bool listFull;   // the list refuses a save
};

// The clocks' history: the true time since the machine started, GetTickCount in steps of STEP
// ms from it, a performance counter at FREQUENCY a second (0: none) with its own account of
// the time, LEAD ms ahead of the true one at the start, and what happens at each event.
struct History {
    ULONGLONG boot;
    DWORD step;
    LONGLONG frequency;
    LONG lead;
    std::vector<Event> events;
};

void showValue(const History &h, std::ostream &os)
{
    os << "boot at " << h.boot << " ms, GetTickCount in " << h.step << " ms steps, counter at "
       << h.frequency << " Hz, " << h.lead << " ms ahead:";
    for (const Event &e : h.events)
        os << "\n  +" << e.ms << " ms " << ACTION[e.action]
           << (e.action == SAVE && e.listFull ? " (list full)" : "")
           << (e.counter == KEEPS_ON ? "" : ", counter ") << COUNTER[e.counter]
           << (e.counter > BEHAVES && e.counter < FAILS ? " " + std::to_string(e.amount) : "")
           << (e.counter == RUNS_AT ? "%" : e.counter > RUNS_AT && e.counter < FAILS ? " ms" : "");
}

// Plays a history through the clock controller and returns the first broken promise, if any.
// Every reading of a run, at a tick, a save or the Stop, lies within the tolerance and one
// GetTickCount step of the true time since its Start (less the hundredths the text cuts off),
// is no lower than the one before, and is exact to the hundredth while the counter has behaved
// since the Start. A stopped clock keeps the reading of the moment of Stop. Saves taken while
// running are numbered 1, 2, 3... with the reading of their moment, the newest selected; one
// while stopped, or one the list refuses, beeps and takes no number.
std::string Play(const History &h)
{
    ResetAll();
    Fake.frequency = h.frequency;
    const ULONGLONG f = (ULONGLONG)h.frequency;
    ULONGLONG trueMs = h.boot, counterMs = std::max<LONGLONG>(0, (LONGLONG)h.boot + h.lead);
    ULONGLONG start = 0, rate = 100;
    long long previous = 0;
    bool behaved = false;
    int saves = 0;
    std::string shown = Elapsed(), reading;
    for (size_t i = 0; i < h.events.size(); ++i) {
        const Event &e = h.events[i];
        trueMs += e.ms;
        counterMs += e.ms * rate / 100;
        behaved = behaved && rate == 100 && e.counter <= RUNS_AT;
        switch (e.counter) {
        case BEHAVES: rate = 100; break;
        case RUNS_AT: rate = e.amount; break;
        case LEAPS: counterMs += e.amount; break;
        case RESTARTS: counterMs = e.amount; break;
        case STEPS_BACK: counterMs -= std::min<ULONGLONG>(counterMs, e.amount); break;
        default: break;
        }
        Fake.tick = (DWORD)(trueMs / h.step * h.step);
        Fake.count = (LONGLONG)(counterMs / SECOND * f + (counterMs % SECOND * f + 999) / SECOND);
        Fake.counterFails = e.counter == FAILS;
        const std::string at = "event " + std::to_string(i + 1) + ": ";
        const size_t listed = Fake.list.size();
        const size_t beeps = CallsStartingWith("MessageBeep").size();
        const int selected = Fake.listSelection, running = Running;
        Fake.listCapacity = e.action == SAVE && e.listFull ? listed : (size_t)-1;
        e.action == SAVE ? ClockSave() : e.action == TOGGLE ? ClockToggle() : ClockTick();
        if (e.action == SAVE) {
            if (!running || e.listFull) {
                if (CallsStartingWith("MessageBeep").size() != beeps + 1 ||
                    Fake.list.size() != listed || Fake.listSelection != selected)
                    return at + "a refused save did not beep once, or changed the list";
                continue;
            }
            const std::string number = std::to_string(++saves) + ": ";
            if (Fake.list.size() != listed + 1 || Fake.list.back().rfind(number, 0) != 0 ||
                Fake.listSelection != (int)listed)
                return at + "the newest entry, " + Fake.list.back() + ", is not numbered " +
                       number + "or not selected";
            reading = Fake.list.back().substr(number.size());
        } else {
            if (!running && e.action == TOGGLE) { // a Start
                start = trueMs;
                previous = 0;
                behaved = f != 0 && !Fake.counterFails;
                continue;
            }
            if (!running && Elapsed() != shown)
                return at + "a stopped clock's reading changed to " + Elapsed();
            if (!running)
                continue;
            reading = shown = Elapsed();
        }
        const long long ms = ElapsedMs(reading), truth = (long long)(trueMs - start), cut = 9;
        const long long bound = TICK_TOLERANCE + h.step; // and the hundredths CUT off
        const std::string what = at + reading + " at a true " + std::to_string(truth) + " ms";
        if (ms > truth + bound || ms < truth - bound - cut)
            return what + ": outside the tolerance";
        if (ms < previous)
            return what + ": lower than the reading before";
        if (behaved && ms != truth / 10 * 10)
            return what + ": not exact, though the counter behaved";
        previous = ms;
    }
    return Fake.frequencyQueries > 1 ? "the counter's frequency was asked for again" : "";
}

// OPENS_FAILING: the process's first reading may be a Start whose counter read fails.
rc::Gen<History> AHistory(rc::Gen<Counter> counter, rc::Gen<Action> action,
                          rc::Gen<bool> opensFailing)
{
    using namespace rc::gen;
    // Mostly the ticks of a running clock; now and then a pause of up to a day.
    auto ms = weightedOneOf<DWORD>({{20, inRange<DWORD>(0, 56)}, {1, inRange<DWORD>(0, DAY)}});
    auto event = apply([](Action a, DWORD ms, Counter c, DWORD amount, bool full) {
        amount = c == RUNS_AT ? amount % 400 : c == LEAPS ? amount : amount % SECOND;
        return Event{a, ms, c, amount, full};
    },
                       action, ms, counter, inRange<DWORD>(0, 3600 * 1000),
                       weightedElement<bool>({{4, false}, {1, true}}));
    // The machine up for any time to 60 days, or about to pass GetTickCount's wrap or past it;
    // the counter within the tolerance of the true time.
    return apply([](ULONGLONG boot, DWORD step, LONGLONG frequency, LONG lead,
                    std::vector<Event> events, bool opensFailing) {
        if (opensFailing)
            events.insert(events.begin(), Event{TOGGLE, 0, FAILS, 0, false});
        return History{boot, step, frequency, lead, events};
    },
                 oneOf(inRange<ULONGLONG>(0, 60ull * DAY),
                       inRange<ULONGLONG>(WRAP - DAY, WRAP + 4 * DAY)),
                 inRange<DWORD>(1, 56),
                 element<LONGLONG>(0, 1000, 1193182, 3579545, 3000000000, 5000000000),
                 inRange<LONG>(-TICK_TOLERANCE, TICK_TOLERANCE + 1),
                 scale(3, container<std::vector<Event>>(event)), opensFailing);
}

} // namespace

// Any history of the two clocks: the counter behaves, leaps, stands still, starts again from
// near zero, runs at another rate, steps back, fails to read, or is missing.
RC_GTEST_PROP(Tick, EveryReadingOfARunIsHeldToTheTrueTimeSinceItsStart, ())
{
    using namespace rc::gen;
    History h = *AHistory(weightedElement<Counter>({{20, KEEPS_ON}, {3, BEHAVES}, {2, RUNS_AT},
                                                    {1, LEAPS}, {1, RESTARTS}, {1, STEPS_BACK},
                                                    {1, FAILS}}),
                          element(TICK, TICK, TICK, TOGGLE), arbitrary<bool>());
    RC_ASSERT(Play(h) == "");
}

// Starts, stops, ticks and saves in any order, on a counter that behaves or none.
RC_GTEST_PROP(Clock, SavesAreNumberedInOrderWithTheReadingOfTheirMoment, ())
{
    using namespace rc::gen;
    History h = *AHistory(just(KEEPS_ON), element(TICK, TOGGLE, SAVE, SAVE), just(false));
    RC_ASSERT(Play(h) == "");
}

// Shrunk histories that the property found, replayed on every run. A tick that anchored only
// where the clocks disagreed carried an offset within the tolerance from one run into the next,
// and one the other way added to it there. A failed first read of the counter, at a Start on a
// machine up 49.7 days, anchored it at GetTickCount's count: the next read, 14 ms behind in its
// low 32 bits, was taken as a span of 2^32 - 14 ms.
TEST(Tick, ShrunkHistoriesAreHeldToTheTrueTimeToo)
{
    // The counter's rate in percent through each of two runs, and each run's length.
    auto twoRuns = [](std::array<DWORD, 2> rate, std::array<DWORD, 2> length) {
        History h{WRAP - DAY, 55, 1193182, 0, {}};
        for (int run = 0; run < 2; ++run) {
            h.events.push_back({TOGGLE, 0, RUNS_AT, rate[run], false});
            for (DWORD ms = 0; ms < length[run]; ms += 55)
                h.events.push_back({TICK, 55, KEEPS_ON, 0, false});
            h.events.push_back({TOGGLE, 0, KEEPS_ON, 0, false});
        }
        return h;
    };
    const std::pair<const char *, History> examples[] = {
        {"9% fast through one run and 9% slow through the next", twoRuns({109, 91}, {4180, 4180})},
        {"stood still for 110 ms, then twice its rate", twoRuns({0, 200}, {110, 275})},
        {"its first read failed at a Start, 14 ms behind",
         {4208567296, 1, 1193182, 0,
          {{TICK, 9708547, KEEPS_ON, 0, false},
           {TICK, 76691439, RUNS_AT, 0, false},
           {TOGGLE, 14, FAILS, 0, false},
           {TOGGLE, 0, KEEPS_ON, 0, false}}}},
    };
    for (const auto &x : examples) {
        SCOPED_TRACE(x.first);
        EXPECT_EQ("", Play(x.second));
    }
}
