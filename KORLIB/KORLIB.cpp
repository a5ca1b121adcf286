/* KORLIB: error boxes and the fatal check, the path of a file beside the program,
   and the About box's dialog helpers. */
#include <stdarg.h>
#include "KORLIB.h"

#define ABOUT_CLOSE_COMMAND 2 /* IDCANCEL with notification 0: OK, Enter, Esc and Close */

/* Composes a text into a buffer of CAPACITY characters, cut short if need be, and returns its
   length. A clean Windows 95 has no C runtime DLL, so the texts go through USER32's formatter,
   which takes no size and writes at most 1,024 characters with its terminator: it writes into
   a scratch buffer that always holds that much, and the text is cut to fit from there. */
int FormatText(char *out, size_t capacity, const char *format, ...)
{
    char scratch[PATH_CCH];
    va_list arguments;
    va_start(arguments, format);
    wvsprintfA(scratch, format, arguments);
    va_end(arguments);
    lstrcpynA(out, scratch, (int)capacity);
    return lstrlenA(out);
}

void StringMessageBox(HWND owner, UINT messageId, int kind)
{
    char caption[STRING_CCH] = "";
    char text[STRING_CCH] = "";
    LoadStringA(AppInstance, kind == MSG_FATAL ? IDS_FATAL_CAPTION : IDS_ERROR_CAPTION, caption,
                STRING_CCH);
    LoadStringA(AppInstance, messageId, text, STRING_CCH);
    MessageBoxA(owner, text, caption, MB_TASKMODAL | MB_ICONEXCLAMATION);
}

/* "file/line"; a path too long for the box keeps its tail, where the file name and line are. */
static void FormatSourceLocation(const char *sourceFile, long line, char *out)
{
    char suffix[STRING_CCH];
    int suffixLength = FormatText(suffix, STRING_CCH, "/%ld", line);
    size_t room = STRING_CCH - 1 - (size_t)suffixLength;
    size_t length = (size_t)lstrlenA(sourceFile);
    const char *tail = length > room ? sourceFile + (length - room) : sourceFile;
    FormatText(out, STRING_CCH, "%s%s", tail, suffix);
}

void FatalCheck(int failed, UINT messageId, const char *sourceFile, long line)
{
    if (!failed)
        return;
    /* No tick may run while the boxes are up. */
    KillTimer(MainWindow, CLOCK_TIMER);
    StringMessageBox(NULL, messageId, MSG_FATAL);
    char location[STRING_CCH];
    FormatSourceLocation(sourceFile, line, location);
    MessageBoxA(NULL, location, "", MB_TASKMODAL | MB_ICONINFORMATION);
    ExitProcess(0);
}

/* Walked a character at a time: in a double-byte code page (932, 936, 950) the second byte
   of a character may be the backslash's byte. */
static char *LastBackslash(char *path)
{
    char *found = NULL;
    for (; *path != '\0'; path = CharNextA(path))
        if (*path == '\\')
            found = path;
    return found;
}

AnyProc LibraryProc(const char *library, const char *name)
{
    HMODULE module = LoadLibraryA(library);
    return module == NULL ? NULL : reinterpret_cast<AnyProc>(GetProcAddress(module, name));
}

typedef DWORD(WINAPI *ModuleFileNameWProc)(HMODULE, LPWSTR, DWORD);
typedef DWORD(WINAPI *ShortPathNameWProc)(LPCWSTR, LPWSTR, DWORD);

#define FIRST_BEYOND_ASCII 0x80

WCHAR ModulePathW[PATH_CCH];

/* WIDE as the ANSI code page spells it, into PATH, with a '?' for each character it lacks and
   never a look-alike; true where it lacks none. Windows NT 4 knows no spelling without
   look-alikes and refuses it: there a path in plain ASCII, which every code page spells alike,
   is taken as it is, and any other leaves PATH as it was. */
static BOOL SpellPath(const WCHAR *wide, char *path)
{
    char spelled[PATH_CCH];
    BOOL lacking = FALSE;
    if (WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, spelled, PATH_CCH, "?",
                            &lacking) == 0) {
        int i = 0;
        for (; wide[i] != '\0'; ++i) {
            if (wide[i] >= FIRST_BEYOND_ASCII)
                return FALSE;
            spelled[i] = (char)wide[i];
        }
        spelled[i] = '\0';
    }
    lstrcpynA(path, spelled, PATH_CCH);
    return !lacking;
}

/* Windows NT and later keep paths in Unicode (kept whole in ModulePathW), and
   GetModuleFileNameA hands on a '?' or a look-alike (l for ł) for each character that the ANSI
   code page lacks: the path then names no file, or another one. A volume that keeps short
   (8.3) names has one in plain ASCII for every folder, which the ANSI functions and the help
   engine take. Where neither spelling is whole, a '?' marks the path as lost: no file name
   holds one. Windows 95 and 98 keep no wide path, and their ANSI one stays as it is. */
static void SpellModulePath(HMODULE module, char *path)
{
    ModuleFileNameWProc moduleFileNameW = reinterpret_cast<ModuleFileNameWProc>(
        LibraryProc("KERNEL32.DLL", "GetModuleFileNameW"));
    ShortPathNameWProc shortPathNameW = reinterpret_cast<ShortPathNameWProc>(
        LibraryProc("KERNEL32.DLL", "GetShortPathNameW"));
    if (moduleFileNameW == NULL || shortPathNameW == NULL)
        return;
    DWORD length = moduleFileNameW(module, ModulePathW, PATH_CCH);
    if (length == 0 || length >= PATH_CCH) {
        ModulePathW[0] = '\0';
        return;
    }
    if (SpellPath(ModulePathW, path))
        return;
    WCHAR shortPath[PATH_CCH];
    length = shortPathNameW(ModulePathW, shortPath, PATH_CCH);
    if (length != 0 && length < PATH_CCH)
        SpellPath(shortPath, path);
}

void ModuleFilePath(const char *fileName, char *out)
{
    char moduleName[STRING_CCH] = "";
    char path[PATH_CCH] = "";
    LoadStringA(AppInstance, IDS_MODULE_NAME, moduleName, STRING_CCH);
    /* A renamed executable is not found by name; the null handle then names the program itself. */
    HMODULE module = GetModuleHandleA(moduleName);
    DWORD length = GetModuleFileNameA(module, path, PATH_CCH);
    /* A full buffer means a cut and possibly unterminated path. */
    FatalCheck(length == 0 || length >= PATH_CCH, IDS_FATAL_CAPTION, __FILE__, __LINE__);
    SpellModulePath(module, path);
    char *lastBackslash = LastBackslash(path);
    FatalCheck(lastBackslash == NULL, IDS_FATAL_CAPTION, __FILE__, __LINE__);
    lastBackslash[1] = '\0';
    FatalCheck(lstrlenA(fileName) + lstrlenA(path) + 1 >= PATH_CCH, IDS_FATAL_CAPTION, __FILE__,
               __LINE__);
    FormatText(out, PATH_CCH, "%s%s", path, fileName);
}

BOOL ModuleFilePathW(const char *fileName, WCHAR *out)
{
    int folder = 0;
    for (int i = 0; (out[i] = ModulePathW[i]) != '\0'; ++i)
        if (out[i] == '\\')
            folder = i + 1;
    return folder != 0 &&
           MultiByteToWideChar(CP_ACP, 0, fileName, -1, out + folder, PATH_CCH - folder) != 0;
}

INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    switch (message) {
    case WM_INITDIALOG:
        CenterWindow(dialog);
        return TRUE;
    case WM_COMMAND:
        if (wParam != ABOUT_CLOSE_COMMAND)
            return FALSE;
        EndDialog(dialog, 0);
        return TRUE;
    }
    return FALSE;
}

int RectWidth(const RECT *rect)
{
    return rect->right - rect->left + 1;
}

int RectHeight(const RECT *rect)
{
    return rect->bottom - rect->top + 1;
}

/* Start of a window of the given extent centred on centre, pulled back inside the screen. */
static int CentredStart(int centre, int extent, int screenExtent)
{
    int start = centre - extent / 2;
    if (start < 0)
        start = 0;
    else if (start + extent > screenExtent)
        start = screenExtent - extent;
    return start;
}

void CenterWindow(HWND window)
{
    int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    RECT rect;
    GetWindowRect(window, &rect);
    int x = CentredStart((desktop.left + desktop.right) / 2, RectWidth(&rect), screenWidth);
    int y = CentredStart((desktop.top + desktop.bottom) / 2, RectHeight(&rect), screenHeight);
    SetWindowPos(window, NULL, x, y, -1, -1, SWP_NOSIZE | SWP_NOZORDER);
}

/* The dialog face colour, in which the texts and buttons paint themselves, whatever the scheme
   (C0C0C0 in Windows 95's own); a class takes a system colour as its index plus one. */
HBRUSH DialogBackgroundBrush(void)
{
    return (HBRUSH)(COLOR_BTNFACE + 1);
}
