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
   is one that people run in Windows 95 or XP compatibility mode. The page is found and opened
   by its wide path, which any folder's name can spell, on any volume, short names or none.
   SHELL32, and OLE32 for the COM that the shell's extensions need, are loaded only then, and
   stay loaded: the shell may still be at work when the call returns. */
#define FIRST_VISTA_EXPORT    "GetTickCount64"
#define HELP_PAGE_EXTENSION   ".HTM"
#define SHELL_EXECUTE_ERRORS  32  /* ShellExecuteW's results up to this are failures */
#define COM_FOR_THE_SHELL     0x6 /* COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE */

typedef DWORD(WINAPI *FileAttributesWProc)(LPCWSTR);
typedef HRESULT(WINAPI *CoInitializeExProc)(LPVOID, DWORD);
typedef HINSTANCE(WINAPI *ShellExecuteWProc)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);

static BOOL HasHelpEngine(void)
{
    return LibraryProc("KERNEL32.DLL", FIRST_VISTA_EXPORT) == NULL;
}

/* A folder that the code page cannot spell, where its volume keeps no short name either: the
   path names no file, and the engine is not handed it. A path given as \\?\C:\... (a program
   started by such a path) holds a '?' that marks nothing lost. */
static BOOL HelpPathLost(void)
{
    static const char LONG_PATH_PREFIX[] = "\\\\?\\";
    int matched = 0;
    while (LONG_PATH_PREFIX[matched] != '\0' && HelpPath[matched] == LONG_PATH_PREFIX[matched])
        ++matched;
    const char *c = LONG_PATH_PREFIX[matched] == '\0' ? HelpPath + matched : HelpPath;
    for (; *c != '\0'; c = CharNextA(c))
        if (*c == '?')
            return TRUE;
    return FALSE;
}

/* The page's wide path: the help file's name with its extension changed, beside the program;
   false where there is none. */
static BOOL FindHelpPage(WCHAR *page)
{
    char name[STRING_CCH] = "";
    char *dot = NULL;
    LoadStringA(AppInstance, IDS_HELP_FILE, name, STRING_CCH);
    for (char *c = name; *c != '\0'; c = CharNextA(c))
        if (*c == '.')
            dot = c;
    FileAttributesWProc fileAttributesW =
        reinterpret_cast<FileAttributesWProc>(LibraryProc("KERNEL32.DLL", "GetFileAttributesW"));
    if (dot == NULL || dot - name + sizeof HELP_PAGE_EXTENSION > STRING_CCH ||
        fileAttributesW == NULL)
        return FALSE;
    lstrcpynA(dot, HELP_PAGE_EXTENSION, sizeof HELP_PAGE_EXTENSION);
    if (!ModuleFilePathW(name, page))
        return FALSE;
    DWORD attributes = fileAttributesW(page);
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

static BOOL OpenHelpPage(const WCHAR *page)
{
    static const WCHAR OPEN[] = {'o', 'p', 'e', 'n', '\0'};
    StartCom();
    ShellExecuteWProc shellExecuteW =
        reinterpret_cast<ShellExecuteWProc>(LibraryProc("SHELL32.DLL", "ShellExecuteW"));
    if (shellExecuteW == NULL)
        return FALSE;
    HINSTANCE result = shellExecuteW(MainWindow, OPEN, page, NULL, NULL, SW_SHOWNORMAL);
    return (INT_PTR)result > SHELL_EXECUTE_ERRORS;
}

static void ShowHelp(void)
{
    WCHAR page[PATH_CCH];
    BOOL shown;
    if (!HasHelpEngine() && FindHelpPage(page))
        shown = OpenHelpPage(page);
    else if (HelpPathLost())
        shown = FALSE;
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

/* A folder such as Downloads may hold DLLs that others put there, and Windows looks in the
   program's folder first for every DLL outside its list of known ones, those that the shell
   loads in its turn among them. Where KERNEL32 can be told (Windows 8 and later, Vista and 7
   with their updates), only the system folder is searched. */
typedef BOOL(WINAPI *SetDefaultDllDirectoriesProc)(DWORD);

static void SearchOnlyTheSystemForDlls(void)
{
    SetDefaultDllDirectoriesProc setDefaultDllDirectories =
        reinterpret_cast<SetDefaultDllDirectoriesProc>(
            LibraryProc("KERNEL32.DLL", "SetDefaultDllDirectories"));
    if (setDefaultDllDirectories != NULL)
        setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine,
                   int showCommand)
{
    (void)commandLine;
    SearchOnlyTheSystemForDlls();
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
