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

static void ShowHelp(void)
{
    if (!WinHelpA(MainWindow, HelpPath, HELP_CONTENTS, 0))
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
        if (!TranslateAcceleratorA(MainWindow, accelerators, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    return (int)message.wParam;
}
