/* The benchmarks' floors BASE.EXE and BARE.EXE (BASE_DRAWS 0): docs/benchmarks.md. Start/Stop
   switches the timer's period, Exit ends it. */
#include "../trv/TRV.h"

static HWND Window;
static int Fast;
static int Ticked;

/* As long as TRV's time-of-day and elapsed texts; the last digit turns at every tick. */
static char TimeText[] = "00:00:00.00";
static char ElapsedText[] = "0 00:00:00.00";

static void Turn(char *text, size_t length)
{
    char *last = text + length - 1;
    *last = *last == '9' ? '0' : (char)(*last + 1);
}

/* The first tick leaves a mark in the time-of-day field, so that a driver can tell the moment
   it came, as it tells TRV's first time-of-day text. */
static void OnTick(void)
{
    if (BASE_DRAWS || !Ticked) {
        Turn(TimeText, sizeof TimeText - 1);
        SetDlgItemTextA(Window, IDC_CURRENT, TimeText);
    }
    Ticked = 1;
    if (BASE_DRAWS && Fast) {
        Turn(ElapsedText, sizeof ElapsedText - 1);
        SetDlgItemTextA(Window, IDC_ELAPSED, ElapsedText);
    }
}

static void ToggleSpeed(void)
{
    Fast = !Fast;
    KillTimer(Window, CLOCK_TIMER);
    SetTimer(Window, CLOCK_TIMER, Fast ? RUN_INTERVAL : IDLE_INTERVAL, NULL);
}

static LRESULT CALLBACK BaseWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        Window = window;
        SetTimer(Window, CLOCK_TIMER, IDLE_INTERVAL, NULL);
        return 0;
    case WM_TIMER:
        OnTick();
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == CMD_START_STOP)
            ToggleSpeed();
        else if (LOWORD(wParam) == CMD_EXIT)
            PostQuitMessage(0);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    char className[STRING_CCH] = "";
    LoadStringA(instance, IDS_CLASS_NAME, className, STRING_CCH);
    WNDCLASSA windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = BaseWndProc;
    windowClass.cbWndExtra = DLGWINDOWEXTRA;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, "ICONX");
    windowClass.hCursor = LoadCursorA(NULL, IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = className;
    RegisterClassA(&windowClass);
    HWND window = CreateDialogParamA(instance, "DIAL_MAIN", NULL, NULL, 0);
    ShowWindow(window, showCommand);

    MSG message;
    while (GetMessageA(&message, NULL, 0, 0)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return (int)message.wParam;
}
