/* The benchmarks' floor: a window of TRV's class, built from TRV's template, with TRV's timer
   periods, that writes nothing at its ticks. Start/Stop switches the period, Exit ends it. */
#include "../trv/TRV.h"

static HWND Window;
static int Fast;
static int Ticked;

/* The first tick leaves one mark in the time-of-day field, so that a driver can tell the
   moment it came, as it tells TRV's first time-of-day text. */
static void OnTick(void)
{
    if (Ticked)
        return;
    Ticked = 1;
    SetDlgItemTextA(Window, IDC_CURRENT, "tick");
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
    windowClass.hbrBackground = (HBRUSH)GetStockObject(LTGRAY_BRUSH);
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
