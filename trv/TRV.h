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

/* Time texts. */
extern DWORD DayCount;
void FormatTimeOfDay(char *out);
void FormatElapsed(DWORD &startTick, char *out);
void FormatSavedEntry(int number, const char *elapsed, char *out);

/* The tick: milliseconds modulo 2^32, from the performance counter where there is one. */
extern LARGE_INTEGER CounterFrequency; /* counts a second; 0 until asked, -1 where none */
extern LARGE_INTEGER LastCount;        /* the highest count read */
DWORD ReadTick(void);

/* Clock controller. */
extern int Running;
extern DWORD StartTick;
extern DWORD LastFlashTick;
extern int SavedCount;
void ClockStart(void);
void ClockTick(void);
void ClockToggle(void);
void ClockSave(void);

/* Shell. */
extern char ClassName[STRING_CCH];
extern HWND SavedList;
extern char HelpPath[PATH_CCH];
LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

#endif
