/* Tarvik 2: start-up, the message loop and the main window procedure. */
#include "TRV.h"

HINSTANCE AppInstance;
HWND MainWindow;
char ClassName[STRING_CCH];
HWND SavedList;
char HelpPath[PATH_CCH];

static void OnCreate(void)
{
    char helpFile[STRING_CCH] = "";
    LoadStringA(AppInstance, IDS_HELP_FILE, helpFile, STRING_CCH);
    ModuleFilePath(helpFile, HelpPath);
    ClockStart();
}

/* Windows Vista and later have no engine for .HLP files (10 and 11 none at all), so there the
   same help, the page beside the help file, is opened by the shell in the browser. Vista is
   known by a function that its KERNEL32 was the first to export, not by the version the
   program is told: that follows the compatibility settings, and a program made for Windows 95
   is one that people run in Windows 95 or XP compatibility mode. SHELL32, and OLE32 for the
   COM that the shell's extensions need, are loaded only then, and stay loaded: the shell may
   still be at work when the call returns. */
#define FIRST_VISTA_EXPORT    "GetTickCount64"
#define SHELL_EXECUTE_ERRORS  32  /* ShellExecuteA's results up to this are failures */
#define COM_FOR_THE_SHELL     0x6 /* COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE */

typedef HRESULT(WINAPI *CoInitializeExProc)(LPVOID, DWORD);
typedef HINSTANCE(WINAPI *ShellExecuteProc)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);

static BOOL HasHelpEngine(void)
{
    return LibraryProc("KERNEL32.DLL", FIRST_VISTA_EXPORT) == NULL;
}

/* A folder that the code page cannot spell, where its volume keeps no short name either: the
   path names no file, and neither the engine nor the shell is handed it. */
static BOOL HelpPathLost(void)
{
    for (const char *c = HelpPath; *c != '\0'; c = CharNextA(c))
        if (*c == '?')
            return TRUE;
    return FALSE;
}

/* The page's path, the help file's with its extension changed; false where there is none. */
static BOOL FindHelpPage(char *page)
{
    char *dot = NULL;
    lstrcpynA(page, HelpPath, PATH_CCH);
    for (char *c = page; *c != '\0'; c = CharNextA(c))
        if (*c == '.' || *c == '\\')
            dot = *c == '.' ? c : NULL;
    if (dot == NULL || dot - page + sizeof ".HTM" > PATH_CCH)
        return FALSE;
    lstrcpynA(dot, ".HTM", sizeof ".HTM");
    DWORD attributes = GetFileAttributesA(page);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

/* COM as the shell asks its callers to set it up. Without it the shell is asked all the same:
   opening a page seldom needs an extension. */
static void StartCom(void)
{
    CoInitializeExProc coInitializeEx =
        reinterpret_cast<CoInitializeExProc>(LibraryProc("OLE32.DLL", "CoInitializeEx"));
    if (coInitializeEx != NULL)
        coInitializeEx(NULL, COM_FOR_THE_SHELL);
}

static BOOL OpenHelpPage(const char *page)
{
    StartCom();
    ShellExecuteProc shellExecute =
        reinterpret_cast<ShellExecuteProc>(LibraryProc("SHELL32.DLL", "ShellExecuteA"));
    if (shellExecute == NULL)
        return FALSE;
    HINSTANCE result = shellExecute(MainWindow, "open", page, NULL, NULL, SW_SHOWNORMAL);
    return (INT_PTR)result > SHELL_EXECUTE_ERRORS;
}

static void ShowHelp(void)
{
    char page[PATH_CCH];
    BOOL shown;
    if (HelpPathLost())
        shown = FALSE;
    else if (!HasHelpEngine() && FindHelpPage(page))
        shown = OpenHelpPage(page);
    else
        shown = WinHelpA(MainWindow, HelpPath, HELP_CONTENTS, 0);
    if (!shown)
        StringMessageBox(MainWindow, IDS_HELP_ERROR, MSG_ERROR);
}

static void ShowAbout(void)
{
    INT_PTR result = DialogBoxParamA(AppInstance, "DIAL_ABOUT", MainWindow, AboutDlgProc, 0);
    FatalCheck(result == -1, IDS_NO_DIALOG, __FILE__, __LINE__);
}

/* Exit and the window's destruction both end the program this way. */
static void QuitProgram(void)
{
    WinHelpA(MainWindow, HelpPath, HELP_QUIT, 0);
    PostQuitMessage(0);
}

static LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM lParam)
{
    /* The focus never stays on a control: the keyboard belongs to the accelerators. */
    SetFocus(MainWindow);
    switch (LOWORD(wParam)) {
    case CMD_START_STOP:
        ClockToggle();
        return 0;
    case CMD_HELP:
        ShowHelp();
        return 0;
    case CMD_ABOUT:
        ShowAbout();
        return 0;
    case CMD_EXIT:
        QuitProgram();
        return 0;
    case CMD_SAVE:
        ClockSave();
        return 0;
    }
    return DefWindowProcA(window, WM_COMMAND, wParam, lParam);
}

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    /* The first message arrives while the window is still being built from its template. */
    if (MainWindow == NULL)
        MainWindow = window;
    else
        SavedList = GetDlgItem(MainWindow, IDC_SAVED_LIST);

    switch (message) {
    case WM_CREATE:
        OnCreate();
        return 0;
    case WM_TIMER:
        ClockTick();
        return 0;
    case WM_COMMAND:
        return OnCommand(window, wParam, lParam);
    case WM_DESTROY:
        QuitProgram();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

static void RegisterMainClass(void)
{
    WNDCLASSA windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWndProc;
    windowClass.cbWndExtra = DLGWINDOWEXTRA;
    windowClass.hInstance = AppInstance;
    windowClass.hIcon = LoadIconA(AppInstance, "ICONX");
    windowClass.hCursor = LoadCursorA(NULL, IDC_ARROW);
    windowClass.hbrBackground = DialogBackgroundBrush();
    windowClass.lpszClassName = ClassName;
    RegisterClassA(&windowClass);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine,
                   int showCommand)
{
    (void)commandLine;
    AppInstance = instance;
    LoadStringA(AppInstance, IDS_CLASS_NAME, ClassName, STRING_CCH);
    if (previousInstance == NULL)
        RegisterMainClass();
    MainWindow = CreateDialogParamA(AppInstance, "DIAL_MAIN", NULL, NULL, 0);
    FatalCheck(MainWindow == NULL, IDS_NO_DIALOG, __FILE__, __LINE__);
    ShowWindow(MainWindow, showCommand);
    HACCEL accelerators = LoadAcceleratorsA(AppInstance, "ACCELS");
    FatalCheck(accelerators == NULL, IDS_NO_ACCELERATORS, __FILE__, __LINE__);

    MSG message;
    while (GetMessageA(&message, NULL, 0, 0)) {
        if (TranslateAcceleratorA(MainWindow, accelerators, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
        /* A button takes the focus when the mouse goes down on it, and keeps it when the mouse
           goes up elsewhere: no command then takes it back, and Space would press the button.
           The keyboard belongs to the accelerators. */
        if (message.message == WM_LBUTTONUP)
            SetFocus(MainWindow);
    }
    return (int)message.wParam;
}
