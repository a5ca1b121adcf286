/* The main module's shared state and routines: time texts, clock controller, window procedure. */
#ifndef TRV_H
#define TRV_H

#include <windows.h>
#include "resource.h"

#define MS_PER_DAY    86400000UL
#define MS_PER_HOUR   3600000UL
#define MS_PER_MINUTE 60000UL
#define MS_PER_SECOND 1000UL

#define IDLE_INTERVAL  100  /* timer period while stopped, ms */
#define RUN_INTERVAL   1    /* timer period asked for while running, ms */
#define FLASH_INTERVAL 1000 /* least spacing of two caption flashes, ms */

/* Time texts (timetext.cpp). */
extern DWORD DayCount;
void FormatTimeOfDay(char *out);
void FormatElapsed(DWORD &startTick, char *out);
void FormatSavedEntry(int number, const char *elapsed, char *out);

/* The tick (tick.cpp): milliseconds modulo 2^32, from the performance counter held to
   GetTickCount where there is one, from GetTickCount alone where there is none.
   TICK_TOLERANCE is how far the two may disagree over a span before GetTickCount's span is
   taken. On a counter that behaves they differ by the system timer's steps at the span's two
   ends (55 ms on Windows 95, 10 to 16 ms on NT) and by a thread switch between the two reads;
   beyond that lie the faults of real counters: leaps of seconds under bus load, a stop or a
   restart across a sleep, a throttled processor's rate. A run's first reading
   (ReadRunStartTick) sets both clocks together, and every later reading of the run is then
   within the tolerance and one system timer step of the true time since that first one,
   whatever the counter did before the run or does during it; where it behaves, exact. */
#define TICK_TOLERANCE 200 /* ms: more than three of Windows 95's 55 ms steps */
extern LARGE_INTEGER CounterFrequency; /* counts a second; 0 until asked, -1 where none */
extern BOOL CounterAnchored;           /* a good read of the counter has set the anchor */
extern ULONGLONG AnchorCounterMs;      /* the counter's milliseconds at the anchor */
extern DWORD AnchorSystemTick;         /* GetTickCount at the anchor */
extern ULONGLONG AnchorTick;           /* the tick at the anchor, in full */
extern ULONGLONG LastTick;             /* the last tick given, in full */
DWORD ReadTick(void);
DWORD ReadRunStartTick(void);

/* Clock controller (clock.cpp). */
extern int Running;
extern DWORD StartTick;
extern DWORD LastFlashTick;
extern int SavedCount;
extern char ShownTimeOfDay[STRING_CCH]; /* what IDC_CURRENT was last given */
void ClockStart(void);
void ClockTick(void);
void ClockToggle(void);
void ClockSave(void);

/* Shell (TRV.cpp). */
extern char ClassName[STRING_CCH];
extern HWND SavedList;
extern char HelpPath[PATH_CCH];
LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

#endif
