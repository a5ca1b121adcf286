/* The clock controller: stopped or running, the timer that follows that state,
   start/stop, saving the running elapsed time, flashing while minimised. */
#include "TRV.h"

int Running;
DWORD StartTick;
DWORD LastFlashTick;
int SavedCount;
char ShownTimeOfDay[STRING_CCH];

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

static BOOL SameText(const char *a, const char *b)
{
    while (*a != '\0' && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

/* The time of day shows tenths, and a running clock ticks every 10 to 55 ms: most ticks would
   write the text the control already shows, and each write repaints it. */
static void ShowTimeOfDay(void)
{
    char text[STRING_CCH];
    FormatTimeOfDay(text);
    if (SameText(text, ShownTimeOfDay))
        return;
    lstrcpynA(ShownTimeOfDay, text, STRING_CCH);
    SetDlgItemTextA(MainWindow, IDC_CURRENT, text);
}

void ClockTick(void)
{
    ShowTimeOfDay();
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
    StartTick = ReadRunStartTick();
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
