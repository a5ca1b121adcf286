// Host stand-in for <windows.h>: the Win32 types, values and functions the program uses,
// with the platform's own widths and numbers, implemented by the recording fake.
#ifndef FAKE_WINDOWS_H
#define FAKE_WINDOWS_H

#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>

typedef uint32_t DWORD;
typedef uint16_t WORD;
typedef int32_t LONG;
typedef LONG HRESULT;
typedef int BOOL;
typedef unsigned int UINT;
typedef int INT;
typedef uintptr_t UINT_PTR;
typedef intptr_t INT_PTR;
typedef intptr_t LONG_PTR;
typedef UINT_PTR WPARAM;
typedef LONG_PTR LPARAM;
typedef LONG_PTR LRESULT;
typedef int64_t LONGLONG;
typedef uint64_t ULONGLONG;
typedef char *LPSTR;
typedef void *LPVOID;
typedef const char *LPCSTR;
typedef char16_t WCHAR;
typedef WCHAR *LPWSTR;
typedef const WCHAR *LPCWSTR;

typedef union {
    LONGLONG QuadPart;
} LARGE_INTEGER;

static_assert(sizeof(DWORD) == 4 && sizeof(WORD) == 2 && sizeof(LONG) == 4, "Win32 widths");

#define DECLARE_HANDLE(name) typedef struct name##__ *name
DECLARE_HANDLE(HWND);
DECLARE_HANDLE(HINSTANCE);
DECLARE_HANDLE(HICON);
DECLARE_HANDLE(HBRUSH);
DECLARE_HANDLE(HACCEL);
typedef HINSTANCE HMODULE;
typedef HICON HCURSOR;
typedef void *TIMERPROC;
typedef INT_PTR (*FARPROC)(void);

#define WINAPI
#define CALLBACK
#define TRUE 1
#define FALSE 0

#define LOWORD(l) ((WORD)((uintptr_t)(l) & 0xFFFF))
#define MAKEINTRESOURCEA(i) ((LPSTR)(uintptr_t)(WORD)(i))

typedef LRESULT(CALLBACK *WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef INT_PTR(CALLBACK *DLGPROC)(HWND, UINT, WPARAM, LPARAM);

typedef struct {
    LONG left, top, right, bottom;
} RECT;

typedef struct {
    LONG x, y;
} POINT;

typedef struct {
    WORD wYear, wMonth, wDayOfWeek, wDay, wHour, wMinute, wSecond, wMilliseconds;
} SYSTEMTIME;

typedef struct {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
} MSG;

typedef struct {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
} WNDCLASSA;

#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_NCCREATE 0x0081
#define WM_INITDIALOG 0x0110
#define WM_COMMAND 0x0111
#define WM_TIMER 0x0113
#define WM_LBUTTONUP 0x0202

#define LB_ADDSTRING 0x0180
#define LB_SETCURSEL 0x0186
#define LB_FINDSTRING 0x018F
#define LB_ERR (-1)
#define LB_ERRSPACE (-2)

#define MB_ICONEXCLAMATION 0x00000030
#define MB_ICONINFORMATION 0x00000040
#define MB_TASKMODAL 0x00002000

#define HELP_QUIT 0x0002
#define HELP_CONTENTS 0x0003
#define SW_SHOWNORMAL 1
#define INVALID_FILE_ATTRIBUTES ((DWORD)-1)
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010
#define CP_ACP 0
#define WC_NO_BEST_FIT_CHARS 0x00000400
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800

#define CS_VREDRAW 0x0001
#define CS_HREDRAW 0x0002
#define DLGWINDOWEXTRA 30
#define IDC_ARROW MAKEINTRESOURCEA(32512)
#define COLOR_BTNFACE 15
#define SM_CXSCREEN 0
#define SM_CYSCREEN 1
#define SWP_NOSIZE 0x0001
#define SWP_NOZORDER 0x0004

// USER32's formatter takes no size: it writes at most 1,024 characters, terminator included,
// and returns the length written. lstrcpynA copies at most SIZE - 1 characters and terminates.
int WINAPI wvsprintfA(LPSTR out, LPCSTR format, va_list arguments);
LPSTR WINAPI lstrcpynA(LPSTR out, LPCSTR text, int size);
int WINAPI lstrlenA(LPCSTR text);
int WINAPI WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int length, LPSTR out,
                               int size, LPCSTR defaultChar, BOOL *usedDefault);
int WINAPI MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int length, LPWSTR out,
                               int size);
// The next character: two bytes for a lead byte of the ANSI code page, else one; the end stays.
LPSTR WINAPI CharNextA(LPCSTR text);

DWORD WINAPI GetTickCount(void);
BOOL WINAPI QueryPerformanceFrequency(LARGE_INTEGER *frequency);
BOOL WINAPI QueryPerformanceCounter(LARGE_INTEGER *count);
void WINAPI GetLocalTime(SYSTEMTIME *time);
HMODULE WINAPI GetModuleHandleA(LPCSTR name);
DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR path, DWORD size);
void WINAPI ExitProcess(UINT code);
HMODULE WINAPI LoadLibraryA(LPCSTR name);
FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR name);

UINT_PTR WINAPI SetTimer(HWND window, UINT_PTR id, UINT period, TIMERPROC proc);
BOOL WINAPI KillTimer(HWND window, UINT_PTR id);
BOOL WINAPI SetDlgItemTextA(HWND dialog, int id, LPCSTR text);
HWND WINAPI GetDlgItem(HWND dialog, int id);
LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL WINAPI MessageBeep(UINT type);
BOOL WINAPI IsIconic(HWND window);
BOOL WINAPI FlashWindow(HWND window, BOOL invert);
int WINAPI LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int size);
int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT flags);
HWND WINAPI SetFocus(HWND window);
BOOL WINAPI WinHelpA(HWND window, LPCSTR file, UINT command, UINT_PTR data);
INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC proc,
                               LPARAM param);
BOOL WINAPI EndDialog(HWND dialog, INT_PTR result);
void WINAPI PostQuitMessage(int code);
LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
int WINAPI GetSystemMetrics(int index);
HWND WINAPI GetDesktopWindow(void);
BOOL WINAPI GetWindowRect(HWND window, RECT *rect);
BOOL WINAPI SetWindowPos(HWND window, HWND after, int x, int y, int cx, int cy, UINT flags);
HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name);
HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name);
WORD WINAPI RegisterClassA(const WNDCLASSA *windowClass);
HWND WINAPI CreateDialogParamA(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC proc,
                               LPARAM param);
BOOL WINAPI ShowWindow(HWND window, int command);
HACCEL WINAPI LoadAcceleratorsA(HINSTANCE instance, LPCSTR name);
BOOL WINAPI GetMessageA(MSG *message, HWND window, UINT first, UINT last);
int WINAPI TranslateAcceleratorA(HWND window, HACCEL accelerators, MSG *message);
BOOL WINAPI TranslateMessage(const MSG *message);
LRESULT WINAPI DispatchMessageA(const MSG *message);

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine,
                   int showCommand);

#endif
