/* KORLIB: general routines of the program: composed texts, error boxes and the fatal check,
   the path of a file beside the program, and dialog helpers. */
#ifndef KORLIB_H
#define KORLIB_H

/* String identifiers that the library loads itself; the resource script uses them too. */
#define IDS_MODULE_NAME   10000
#define IDS_ERROR_CAPTION 10001
#define IDS_FATAL_CAPTION 10002

#define STRING_CCH 81   /* string-table texts and composed texts, terminator included */
#define PATH_CCH   1025 /* paths, terminator included */

#define CLOCK_TIMER 1   /* the main window's one timer, which FatalCheck kills */

#define MSG_ERROR 0
#define MSG_FATAL 1

#ifndef RC_INVOKED
#include <windows.h>

/* Set by the main module, read by the library. */
extern HINSTANCE AppInstance;
extern HWND MainWindow;

int FormatText(char *out, size_t capacity, const char *format, ...);

void StringMessageBox(HWND owner, UINT messageId, int kind);
void FatalCheck(int failed, UINT messageId, const char *sourceFile, long line);

/* A function of a library loaded by name, or null: what a newer Windows has, a clean Windows 95
   may lack. Through a plain function type, as the type of GetProcAddress's result takes no
   arguments; the library stays loaded. */
typedef void (*AnyProc)(void);
AnyProc LibraryProc(const char *library, const char *name);

/* The path of FILENAME beside the program, as the ANSI functions can be handed it; a '?' in it
   marks a folder that the ANSI code page cannot spell, which no such function can find. */
void ModuleFilePath(const char *fileName, char *out);
/* The program's path as Windows NT and later keep it, which any script can spell; set by
   ModuleFilePath, and empty on Windows 95 and 98. */
extern WCHAR ModulePathW[PATH_CCH];
/* The path of FILENAME beside the program, from ModulePathW; false where there is none, or it
   would not fit in PATH_CCH characters. */
BOOL ModuleFilePathW(const char *fileName, WCHAR *out);

INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void CenterWindow(HWND window);
int RectWidth(const RECT *rect);
int RectHeight(const RECT *rect);
HBRUSH DialogBackgroundBrush(void);
#endif

#endif
