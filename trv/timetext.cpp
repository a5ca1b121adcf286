/* The three texts the clock shows: time of day, elapsed time, saved entry. */
#include "TRV.h"

DWORD DayCount;

void FormatTimeOfDay(char *out)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    /* The last digit is a literal 0: the layout shows hundredths, the precision is tenths. */
    FormatText(out, STRING_CCH, "%02d:%02d:%02d.%1d0", now.wHour, now.wMinute, now.wSecond,
             now.wMilliseconds / 100);
}

void FormatElapsed(DWORD &startTick, char *out)
{
    DWORD d = ReadTick() - startTick;
    DWORD days = d / MS_PER_DAY;
    /* Carrying whole days out keeps the next difference below one day, however long the run. */
    DayCount += days;
    startTick += days * MS_PER_DAY;
    DWORD r = d - days * MS_PER_DAY;
    DWORD hours = r / MS_PER_HOUR;
    r %= MS_PER_HOUR;
    DWORD minutes = r / MS_PER_MINUTE;
    r %= MS_PER_MINUTE;
    DWORD seconds = r / MS_PER_SECOND;
    DWORD hundredths = r % MS_PER_SECOND / 10;
    FormatText(out, STRING_CCH, "%lu %02lu:%02lu:%02lu.%02lu", (unsigned long)DayCount,
             (unsigned long)hours, (unsigned long)minutes, (unsigned long)seconds,
             (unsigned long)hundredths);
}

void FormatSavedEntry(int number, const char *elapsed, char *out)
{
    FormatText(out, STRING_CCH, "%d: %s", number, elapsed);
}
