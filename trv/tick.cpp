/* The tick every reading is taken from: the performance counter's milliseconds, held to the
   system timer's count. */
#include "TRV.h"

#define NO_COUNTER (-1)

LARGE_INTEGER CounterFrequency;
BOOL CounterAnchored;
ULONGLONG AnchorCounterMs;
DWORD AnchorSystemTick;
ULONGLONG AnchorTick;
ULONGLONG LastTick;

/* NUMBER divided by DIVISOR, and the REMAINDER where asked for, a bit at a time: 64-bit
   division would call the compiler's support library, built for processors newer than the 386. */
static ULONGLONG Divide(ULONGLONG number, ULONGLONG divisor, ULONGLONG *remainder)
{
    ULONGLONG quotient = 0;
    ULONGLONG rest = 0;
    for (int bit = 63; bit >= 0; --bit) {
        rest = rest << 1 | (number >> bit & 1);
        quotient <<= 1;
        if (rest >= divisor) {
            rest -= divisor;
            quotient |= 1;
        }
    }
    if (remainder != NULL)
        *remainder = rest;
    return quotient;
}

/* COUNT counts at FREQUENCY a second, as milliseconds. Whole seconds and the remainder are
   scaled apart, so that no product overflows however long the uptime. */
static ULONGLONG CountToMilliseconds(ULONGLONG count, ULONGLONG frequency)
{
    /* A frequency past 32 bits (a time stamp counter above 4.29 GHz) is scaled down with the
       count, keeping the remainder's product within 64 bits. */
    while (frequency >> 32 != 0) {
        frequency >>= 1;
        count >>= 1;
    }
    ULONGLONG rest;
    ULONGLONG seconds = Divide(count, frequency, &rest);
    return seconds * MS_PER_SECOND + Divide(rest * MS_PER_SECOND, frequency, NULL);
}

static void SetAnchor(ULONGLONG counterMs, DWORD systemTick, ULONGLONG tick)
{
    AnchorCounterMs = counterMs;
    AnchorSystemTick = systemTick;
    AnchorTick = tick;
}

/* The counter's milliseconds, or -1 where it gives none: the machine has none, or it has not
   yet been read once. The first good read anchors both clocks at the tick GetTickCount gives
   then, so that the readings before it, GetTickCount's, and those after it count on one scale.
   A read that fails after that stands in GetTickCount's span since the anchor for the
   counter's: it moves no anchor, and a good read after it is held to the same anchor as before. */
static LONGLONG ReadCounterMs(DWORD systemTick)
{
    if (CounterFrequency.QuadPart == 0 &&
        (!QueryPerformanceFrequency(&CounterFrequency) || CounterFrequency.QuadPart <= 0))
        CounterFrequency.QuadPart = NO_COUNTER;
    if (CounterFrequency.QuadPart == NO_COUNTER)
        return -1;
    LARGE_INTEGER count;
    if (!QueryPerformanceCounter(&count)) {
        if (!CounterAnchored)
            return -1;
        return (LONGLONG)(AnchorCounterMs + (DWORD)(systemTick - AnchorSystemTick));
    }
    ULONGLONG ms =
        CountToMilliseconds((ULONGLONG)count.QuadPart, (ULONGLONG)CounterFrequency.QuadPart);
    if (!CounterAnchored) {
        SetAnchor(ms, systemTick, systemTick);
        LastTick = systemTick;
        CounterAnchored = TRUE;
    }
    return (LONGLONG)ms;
}

/* Both clocks are measured from the anchor, the last point at which they were set together.
   While they agree within the tolerance the tick is the counter's, exact to the millisecond.
   Where they do not, the span is GetTickCount's (it counts only to 2^32 ms: of the spans that
   allows, the one nearest the counter's) and the counter counts on from there. A counter that
   fails again is checked again at every reading: one that leapt or slept is right after its
   new anchor, and one that runs at a wrong rate is held within the tolerance all the same.
   The tick never runs backwards: a count that steps back (counters that differ between
   processors) or a span cut back to GetTickCount's holds the last tick until it is passed.
   A run's first reading anchors both clocks at the tick it gives (the one held included), so
   that no offset of the counter's from before the run, within the tolerance or not, is
   carried into it. */
static DWORD Tick(BOOL runStart)
{
    DWORD systemTick = GetTickCount();
    LONGLONG counterMs = ReadCounterMs(systemTick);
    if (counterMs < 0)
        return systemTick;
    LONGLONG counterSpan = counterMs - (LONGLONG)AnchorCounterMs;
    DWORD systemSpan = systemTick - AnchorSystemTick;
    LONG drift = (LONG)((DWORD)counterSpan - systemSpan);
    ULONGLONG tick;
    if (counterSpan >= 0 && drift >= -TICK_TOLERANCE && drift <= TICK_TOLERANCE) {
        tick = AnchorTick + (ULONGLONG)counterSpan;
    } else {
        LONGLONG nearest = counterSpan - drift;
        tick = AnchorTick + (nearest >= 0 ? (ULONGLONG)nearest : systemSpan);
        SetAnchor((ULONGLONG)counterMs, systemTick, tick);
    }
    if (tick < LastTick)
        tick = LastTick;
    if (runStart)
        SetAnchor((ULONGLONG)counterMs, systemTick, tick);
    LastTick = tick;
    return (DWORD)tick;
}

DWORD ReadTick(void)
{
    return Tick(FALSE);
}

DWORD ReadRunStartTick(void)
{
    return Tick(TRUE);
}
