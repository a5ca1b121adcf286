/* The clock controller: the tick, stopped or running, the timer that follows that state,
   start/stop, saving the running elapsed time, flashing while minimised. */
#include "TRV.h"

#define NO_COUNTER (-1)

LARGE_INTEGER CounterFrequency;
LARGE_INTEGER LastCount;
int Running;
DWORD StartTick;
DWORD LastFlashTick;
int SavedCount;

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

/* COUNT counts at FREQUENCY a second, as milliseconds, cut to their low 32 bits. Whole seconds
   and the remainder are scaled apart, so that no product overflows however long the uptime. */
static DWORD CountToMilliseconds(ULONGLONG count, ULONGLONG frequency)
{
    /* A frequency past 32 bits (a time stamp counter above 4.29 GHz) is scaled down with the
       count, keeping the remainder's product within 64 bits. */
    while (frequency >> 32 != 0) {
        frequency >>= 1;
        count >>= 1;
    }
    ULONGLONG rest;
    ULONGLONG seconds = Divide(count, frequency, &rest);
    return (DWORD)seconds * MS_PER_SECOND + (DWORD)Divide(rest * MS_PER_SECOND, frequency, NULL);
}

/* The system timer's count steps by 55 ms on Windows 95 and by 10 to 16 ms on NT, more than a
   hundredth; the performance counter, where the machine has one, steps by a microsecond or
   less. A count below the last one read (counters that differ between processors), or none
   at all, gives the last one again: the tick never runs backwards nor changes its source. */
DWORD ReadTick(void)
{
    if (CounterFrequency.QuadPart == 0 &&
        (!QueryPerformanceFrequency(&CounterFrequency) || CounterFrequency.QuadPart <= 0))
        CounterFrequency.QuadPart = NO_COUNTER;
    if (CounterFrequency.QuadPart == NO_COUNTER)
        return GetTickCount();
    LARGE_INTEGER count;
    if (!QueryPerformanceCounter(&count) || count.QuadPart < LastCount.QuadPart)
        count = LastCount;
    LastCount = count;
    return CountToMilliseconds((ULONGLONG)count.QuadPart, (ULONGLONG)CounterFrequency.QuadPart);
}

static void ArmClockTimer(UINT period)
{
    FatalCheck(SetTimer(MainWindow, CLOCK_TIMER, period, NULL) == 0, IDS_NO_TIMER, __FILE__,
               __LINE__);
}

static void ShowElapsed(void)
{
    char text[STRING_CCH];
    FormatElapsed(StartTick, text);
    SetDlgItemTextA(MainWindow, IDC_ELAPSED, text);
}

static void FlashIfMinimised(void)
{
    if (!IsIconic(MainWindow))
        return;
    DWORD now = ReadTick();
    if (now - LastFlashTick < FLASH_INTERVAL)
        return;
    LastFlashTick = now;
    FlashWindow(MainWindow, TRUE);
}

void ClockStart(void)
{
    ArmClockTimer(IDLE_INTERVAL);
}

void ClockTick(void)
{
    char text[STRING_CCH];
    FormatTimeOfDay(text);
    SetDlgItemTextA(MainWindow, IDC_CURRENT, text);
    if (!Running)
        return;
    ShowElapsed();
    FlashIfMinimised();
}

void ClockToggle(void)
{
    if (Running) {
        /* Freeze the display at the moment of Stop, not at the last tick. */
        ShowElapsed();
        KillTimer(MainWindow, CLOCK_TIMER);
        ArmClockTimer(IDLE_INTERVAL);
        Running = 0;
        return;
    }
    KillTimer(MainWindow, CLOCK_TIMER);
    ArmClockTimer(RUN_INTERVAL);
    Running = 1;
    /* A new run counts its days from zero; the start is read after the timer is armed. */
    DayCount = 0;
    StartTick = ReadTick();
}

void ClockSave(void)
{
    if (!Running) {
        MessageBeep(0);
        return;
    }
    char elapsed[STRING_CCH];
    char entry[STRING_CCH];
    FormatElapsed(StartTick, elapsed);
    FormatSavedEntry(SavedCount + 1, elapsed, entry);
    /* A list that cannot take the entry (full at 32,767 on Windows 95, or out of memory)
       refuses the save as a stopped clock does, and the number stays for the next one. */
    if (SendMessageA(SavedList, LB_ADDSTRING, 0, (LPARAM)entry) < 0) {
        MessageBeep(0);
        return;
    }
    SavedCount++;
    LRESULT index = SendMessageA(SavedList, LB_FINDSTRING, (WPARAM)-1, (LPARAM)entry);
    SendMessageA(SavedList, LB_SETCURSEL, (WPARAM)index, 0);
}
