// Recording implementation of the Win32 operations the program calls, for host tests.
#include "fakewin.h"

#include <algorithm>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>

#include "../../trv/TRV.h"

FakeState Fake;

static char mainWindowObject, listObject, desktopObject, dialogObject, instanceObject;
HWND const FAKE_MAIN = reinterpret_cast<HWND>(&mainWindowObject);
HWND const FAKE_LIST = reinterpret_cast<HWND>(&listObject);
HWND const FAKE_DESKTOP = reinterpret_cast<HWND>(&desktopObject);
HWND const FAKE_DIALOG = reinterpret_cast<HWND>(&dialogObject);
HINSTANCE const FAKE_INSTANCE = reinterpret_cast<HINSTANCE>(&instanceObject);

static char iconObject, cursorObject, accelObject;
static const int SCREEN_WIDTH = 640, SCREEN_HEIGHT = 480;

static void Log(const char *format, ...) __attribute__((format(printf, 1, 2)));
static void Log(const char *format, ...)
{
    char line[1200];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    Fake.calls.push_back(line);
}

// Wine and Windows alike cut the text at 1,023 characters and terminate it.
int WINAPI wvsprintfA(LPSTR out, LPCSTR format, va_list arguments)
{
    const int limit = 1024;
    int length = vsnprintf(out, limit, format, arguments);
    return length < limit ? length : limit - 1;
}

LPSTR WINAPI lstrcpynA(LPSTR out, LPCSTR text, int size)
{
    int i = 0;
    for (; i < size - 1 && text[i] != '\0'; ++i)
        out[i] = text[i];
    if (size > 0)
        out[i] = '\0';
    return out;
}

int WINAPI lstrlenA(LPCSTR text)
{
    return (int)strlen(text);
}

LPSTR WINAPI CharNextA(LPCSTR text)
{
    unsigned char byte = (unsigned char)*text;
    bool lead = Fake.codePage == 932 && ((byte >= 0x81 && byte <= 0x9F) || byte >= 0xE0);
    return const_cast<LPSTR>(byte == 0 ? text : text + (lead && text[1] != '\0' ? 2 : 1));
}

static const char *Name(HWND window)
{
    const std::pair<HWND, const char *> names[] = {{NULL, "null"},       {FAKE_MAIN, "main"},
                                                   {FAKE_LIST, "list"},   {FAKE_DIALOG, "dialog"},
                                                   {FAKE_DESKTOP, "desktop"}};
    for (const auto &name : names)
        if (name.first == window)
            return name.second;
    return "other";
}

void ResetAll()
{
    Fake = FakeState();
    AppInstance = FAKE_INSTANCE;
    MainWindow = FAKE_MAIN;
    SavedList = FAKE_LIST;
    ClassName[0] = '\0';
    HelpPath[0] = '\0';
    ModulePathW[0] = u'\0';
    Running = 0;
    StartTick = 0;
    LastFlashTick = 0;
    SavedCount = 0;
    DayCount = 0;
    ShownTimeOfDay[0] = '\0';
    CounterFrequency.QuadPart = 0;
    CounterAnchored = FALSE;
    AnchorCounterMs = 0;
    AnchorSystemTick = 0;
    AnchorTick = 0;
    LastTick = 0;
}

Calls CallsStartingWith(const std::string &prefix)
{
    Calls found;
    for (const std::string &call : Fake.calls)
        if (call.compare(0, prefix.size(), prefix) == 0)
            found.push_back(call);
    return found;
}

DWORD WINAPI GetTickCount(void)
{
    return Fake.tick;
}

BOOL WINAPI QueryPerformanceFrequency(LARGE_INTEGER *frequency)
{
    ++Fake.frequencyQueries;
    frequency->QuadPart = Fake.frequency;
    return Fake.frequency != 0;
}

BOOL WINAPI QueryPerformanceCounter(LARGE_INTEGER *count)
{
    bool read = Fake.frequency != 0 && !Fake.counterFails;
    count->QuadPart = read ? Fake.count : 0;
    return read;
}

void WINAPI GetLocalTime(SYSTEMTIME *time)
{
    *time = Fake.localTime;
}

// Copies as the platform does when the buffer is too small: cut, unterminated, full length.
DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR path, DWORD size)
{
    Log("GetModuleFileNameA %s %u", module ? "module" : "null", size);
    DWORD length = (DWORD)Fake.modulePath.size();
    if (length < size) {
        memcpy(path, Fake.modulePath.c_str(), length + 1);
    } else {
        memcpy(path, Fake.modulePath.c_str(), size);
        length = size;
    }
    return Fake.moduleFileNameResult == -1 ? length : (DWORD)Fake.moduleFileNameResult;
}

void WINAPI ExitProcess(UINT code)
{
    Log("ExitProcess %u", code);
    throw FakeExit{code};
}

// UTF-8 of a wide text, as the tests write their paths.
static std::string Utf8(const WCHAR *wide)
{
    std::string text;
    for (unsigned c; (c = *wide++) != 0;)
        text += c < 0x80    ? std::string(1, (char)c)
                : c < 0x800 ? std::string{(char)(0xC0 | c >> 6), (char)(0x80 | (c & 0x3F))}
                            : std::string{(char)(0xE0 | c >> 12), (char)(0x80 | (c >> 6 & 0x3F)),
                                          (char)(0x80 | (c & 0x3F))};
    return text;
}

// The tests' wide paths are short: they are copied whole.
static DWORD WINAPI GetModuleFileNameW(HMODULE module, LPWSTR path, DWORD size)
{
    Log("GetModuleFileNameW %s %u", module ? "module" : "null", size);
    *std::copy(Fake.wideModulePath.begin(), Fake.wideModulePath.end(), path) = u'\0';
    return (DWORD)Fake.wideModulePath.size();
}

// Where the buffer is too small, the room it needs, and nothing copied.
static DWORD WINAPI GetShortPathNameW(LPCWSTR, LPWSTR shortPath, DWORD size)
{
    Log("GetShortPathNameW %u", size);
    const std::u16string &found = Fake.shortModulePath;
    if (found.size() >= size)
        return (DWORD)found.size() + 1;
    *std::copy(found.begin(), found.end(), shortPath) = u'\0';
    return (DWORD)found.size();
}

// Code page 1252 as far as the tests need it: every character up to U+00FF as the byte of the
// same value (as Latin-1 has them), and any other one lacking; but for ł, which is spelled as
// its look-alike l unless look-alikes are refused, and then counts as spelled. Where the
// buffer is too small, or the flag is refused, it fails (0).
int WINAPI WideCharToMultiByte(UINT, DWORD flags, LPCWSTR wide, int, LPSTR out, int size,
                               LPCSTR defaultChar, BOOL *usedDefault)
{
    if ((flags & WC_NO_BEST_FIT_CHARS) && Fake.bestFitRefused)
        return 0;
    int i = 0;
    for (; wide[i] != u'\0'; ++i) {
        if (i + 1 >= size)
            return 0;
        bool lookAlike = wide[i] == u'ł' && !(flags & WC_NO_BEST_FIT_CHARS);
        out[i] = wide[i] <= 0xFF ? (char)wide[i] : lookAlike ? 'l' : *defaultChar;
        *usedDefault = *usedDefault || (wide[i] > 0xFF && !lookAlike);
    }
    out[i] = '\0';
    return i + 1;
}

int WINAPI MultiByteToWideChar(UINT, DWORD, LPCSTR text, int, LPWSTR out, int size)
{
    const int length = (int)strlen(text) + 1;
    if (length > size)
        return 0;
    std::copy(text, text + length, out);
    return length;
}

static DWORD WINAPI GetFileAttributesW(LPCWSTR path)
{
    Log("GetFileAttributesW %s", Utf8(path).c_str());
    return Utf8(path) == Fake.existingFile ? 0x20 /* archive */ : INVALID_FILE_ATTRIBUTES;
}

// The libraries the program loads or looks into, by name; here a library's handle is its name.
static const char *const LIBRARIES[] = {"KERNEL32.DLL", "SHELL32.DLL", "OLE32.DLL"};

HMODULE WINAPI GetModuleHandleA(LPCSTR name)
{
    Log("GetModuleHandleA %s", name);
    return Fake.moduleLoadedByName ? FAKE_INSTANCE : NULL;
}

HMODULE WINAPI LoadLibraryA(LPCSTR name)
{
    Log("LoadLibraryA %s", name);
    for (const char *library : LIBRARIES)
        if (strcmp(name, library) == 0 && name != Fake.missingLibrary)
            return reinterpret_cast<HMODULE>(const_cast<char *>(library));
    return NULL;
}

static HINSTANCE WINAPI ShellExecuteW(HWND window, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters,
                                      LPCWSTR folder, INT show)
{
    Log("ShellExecuteW %s %s %s %s %s %d", Name(window), Utf8(verb).c_str(), Utf8(file).c_str(),
        parameters ? "other" : "null", folder ? "other" : "null", show);
    return reinterpret_cast<HINSTANCE>(Fake.shellExecuteResult);
}

static HRESULT WINAPI CoInitializeEx(LPVOID reserved, DWORD flags)
{
    Log("CoInitializeEx %s %u", reserved ? "other" : "null", flags);
    return 0;
}

static BOOL WINAPI SetDefaultDllDirectories(DWORD flags)
{
    Log("SetDefaultDllDirectories 0x%x", flags);
    return TRUE;
}

FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR name)
{
    const std::string library = reinterpret_cast<const char *>(module);
    Log("GetProcAddress %s %s", library.c_str(), name);
    const bool nt = !Fake.wideModulePath.empty(); // Windows NT and later
    const struct {
        const char *library, *name;
        bool there;
        void (*proc)(void);
    } exports[] = {
        {"SHELL32.DLL", "ShellExecuteW", true, (void (*)(void))ShellExecuteW},
        {"OLE32.DLL", "CoInitializeEx", true, (void (*)(void))CoInitializeEx},
        {"KERNEL32.DLL", "GetFileAttributesW", true, (void (*)(void))GetFileAttributesW},
        {"KERNEL32.DLL", "GetTickCount64", Fake.vista, (void (*)(void))GetTickCount},
        {"KERNEL32.DLL", "SetDefaultDllDirectories", Fake.vista,
         (void (*)(void))SetDefaultDllDirectories},
        {"KERNEL32.DLL", "GetModuleFileNameW", nt, (void (*)(void))GetModuleFileNameW},
        {"KERNEL32.DLL", "GetShortPathNameW", nt, (void (*)(void))GetShortPathNameW},
    };
    for (const auto &found : exports)
        if (found.there && library == found.library && strcmp(name, found.name) == 0)
            return reinterpret_cast<FARPROC>(found.proc);
    return NULL;
}

UINT_PTR WINAPI SetTimer(HWND window, UINT_PTR id, UINT period, TIMERPROC proc)
{
    Log("SetTimer %s %lu %u %s", Name(window), (unsigned long)id, period, proc ? "proc" : "null");
    return Fake.setTimerFails ? 0 : id;
}

BOOL WINAPI KillTimer(HWND window, UINT_PTR id)
{
    Log("KillTimer %s %lu", Name(window), (unsigned long)id);
    return TRUE;
}

BOOL WINAPI SetDlgItemTextA(HWND dialog, int id, LPCSTR text)
{
    Log("SetDlgItemTextA %s %d %s", Name(dialog), id, text);
    if (dialog == FAKE_MAIN)
        Fake.texts[id] = text;
    return TRUE;
}

HWND WINAPI GetDlgItem(HWND dialog, int id)
{
    return dialog == FAKE_MAIN && id == IDC_SAVED_LIST ? FAKE_LIST : NULL;
}

static LRESULT FindPrefix(const char *prefix)
{
    size_t length = strlen(prefix);
    for (size_t i = 0; i < Fake.list.size(); ++i)
        if (strncasecmp(Fake.list[i].c_str(), prefix, length) == 0)
            return (LRESULT)i;
    return LB_ERR;
}

LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (window != FAKE_LIST) {
        Log("SendMessageA %s 0x%x", Name(window), message);
        return 0;
    }
    switch (message) {
    case LB_ADDSTRING:
        Log("LB_ADDSTRING %s", reinterpret_cast<const char *>(lParam));
        if (Fake.list.size() >= Fake.listCapacity)
            return LB_ERRSPACE;
        Fake.list.push_back(reinterpret_cast<const char *>(lParam));
        return (LRESULT)Fake.list.size() - 1;
    case LB_FINDSTRING:
        Log("LB_FINDSTRING %ld %s", (long)(INT_PTR)wParam, reinterpret_cast<const char *>(lParam));
        return FindPrefix(reinterpret_cast<const char *>(lParam));
    case LB_SETCURSEL:
        Log("LB_SETCURSEL %lu", (unsigned long)wParam);
        Fake.listSelection = wParam < Fake.list.size() ? (int)wParam : LB_ERR;
        return Fake.listSelection;
    }
    Log("SendMessageA list 0x%x", message);
    return 0;
}

BOOL WINAPI MessageBeep(UINT type)
{
    Log("MessageBeep %u", type);
    return TRUE;
}

BOOL WINAPI IsIconic(HWND window)
{
    return window == FAKE_MAIN && Fake.iconic;
}

BOOL WINAPI FlashWindow(HWND window, BOOL invert)
{
    Log("FlashWindow %s %d at %u", Name(window), invert, Fake.tick);
    return TRUE;
}

static const struct {
    UINT id;
    const char *text;
} STRING_TABLE[] = {
#define TRV_STRING(id, text) {id, text},
#include "../../trv/strings.def"
#undef TRV_STRING
};

int WINAPI LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int size)
{
    if (instance != FAKE_INSTANCE || size <= 0)
        return 0;
    for (const auto &entry : STRING_TABLE)
        if (entry.id == id) {
            snprintf(buffer, (size_t)size, "%s", entry.text);
            return (int)strlen(buffer);
        }
    return 0;
}

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT flags)
{
    Log("MessageBoxA %s '%s' '%s' 0x%x", Name(owner), text, caption, flags);
    return 1;
}

HWND WINAPI SetFocus(HWND window)
{
    Log("SetFocus %s", Name(window));
    return NULL;
}

BOOL WINAPI WinHelpA(HWND window, LPCSTR file, UINT command, UINT_PTR data)
{
    Log("WinHelpA %s %s %u %lu", Name(window), file, command, (unsigned long)data);
    return Fake.winHelpResult;
}

INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC proc,
                               LPARAM param)
{
    Log("DialogBoxParamA %s %s %s %s %ld", instance == FAKE_INSTANCE ? "app" : "other", name,
        Name(owner), proc == AboutDlgProc ? "AboutDlgProc" : "other", (long)param);
    return Fake.dialogBoxResult;
}

BOOL WINAPI EndDialog(HWND dialog, INT_PTR result)
{
    Log("EndDialog %s %ld", Name(dialog), (long)result);
    return TRUE;
}

void WINAPI PostQuitMessage(int code)
{
    Log("PostQuitMessage %d", code);
}

LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    Log("DefWindowProcA %s 0x%x %lu %ld", Name(window), message, (unsigned long)wParam,
        (long)lParam);
    return Fake.defWindowProcResult;
}

int WINAPI GetSystemMetrics(int index)
{
    return index == SM_CXSCREEN ? SCREEN_WIDTH : index == SM_CYSCREEN ? SCREEN_HEIGHT : 0;
}

HWND WINAPI GetDesktopWindow(void)
{
    return FAKE_DESKTOP;
}

BOOL WINAPI GetWindowRect(HWND window, RECT *rect)
{
    if (window == FAKE_DESKTOP)
        *rect = {0, 0, SCREEN_WIDTH, SCREEN_HEIGHT};
    else
        *rect = Fake.windowRect;
    return TRUE;
}

BOOL WINAPI SetWindowPos(HWND window, HWND after, int x, int y, int cx, int cy, UINT flags)
{
    Log("SetWindowPos %s %s %d %d %d %d 0x%x", Name(window), Name(after), x, y, cx, cy, flags);
    return TRUE;
}

HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name)
{
    Log("LoadIconA %s %s", instance == FAKE_INSTANCE ? "app" : "other", name);
    return reinterpret_cast<HICON>(&iconObject);
}

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name)
{
    Log("LoadCursorA %s %lu", instance ? "app" : "null", (unsigned long)(uintptr_t)name);
    return reinterpret_cast<HCURSOR>(&cursorObject);
}

WORD WINAPI RegisterClassA(const WNDCLASSA *windowClass)
{
    Log("RegisterClassA %s", windowClass->lpszClassName);
    Fake.registered = *windowClass;
    return 1;
}

// Builds the main window as the platform does: the class's procedure sees its first
// messages before the call returns.
HWND WINAPI CreateDialogParamA(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC proc,
                               LPARAM param)
{
    Log("CreateDialogParamA %s %s %s %s %ld", instance == FAKE_INSTANCE ? "app" : "other", name,
        Name(owner), proc ? "proc" : "null", (long)param);
    if (Fake.createDialogFails)
        return NULL;
    Fake.registered.lpfnWndProc(FAKE_MAIN, WM_NCCREATE, 0, 0);
    Fake.registered.lpfnWndProc(FAKE_MAIN, WM_CREATE, 0, 0);
    return FAKE_MAIN;
}

BOOL WINAPI ShowWindow(HWND window, int command)
{
    Log("ShowWindow %s %d", Name(window), command);
    return FALSE;
}

HACCEL WINAPI LoadAcceleratorsA(HINSTANCE instance, LPCSTR name)
{
    Log("LoadAcceleratorsA %s %s", instance == FAKE_INSTANCE ? "app" : "other", name);
    return Fake.acceleratorsMissing ? NULL : reinterpret_cast<HACCEL>(&accelObject);
}

BOOL WINAPI GetMessageA(MSG *message, HWND window, UINT first, UINT last)
{
    Log("GetMessageA %s %u %u", Name(window), first, last);
    if (Fake.queue.empty()) {
        *message = MSG{};
        message->wParam = Fake.quitCode;
        return FALSE;
    }
    *message = Fake.queue.front();
    Fake.queue.erase(Fake.queue.begin());
    return TRUE;
}

// Messages whose wParam is 1 stand for key presses that the accelerator table matches.
int WINAPI TranslateAcceleratorA(HWND window, HACCEL accelerators, MSG *message)
{
    Log("TranslateAcceleratorA %s %s 0x%x", Name(window), accelerators ? "table" : "null",
        message->message);
    return message->wParam == 1;
}

BOOL WINAPI TranslateMessage(const MSG *message)
{
    Log("TranslateMessage 0x%x", message->message);
    return TRUE;
}

LRESULT WINAPI DispatchMessageA(const MSG *message)
{
    Log("DispatchMessageA 0x%x", message->message);
    return 0;
}
