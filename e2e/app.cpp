// The end-to-end driver's apparatus: start TRV.EXE, find its windows, read them through
// window messages, and give it input as a person would (SendInput keys and clicks).
#include "app.h"

#include <stdio.h>
#include <stdlib.h>

#include <map>

std::string ProgramPath()
{
    const char *path = getenv("TRV_EXE");
    return path ? path : "TRV.EXE";
}

std::string WorkFolder()
{
    const char *path = getenv("TRV_WORK");
    return path ? path : ".";
}

// Keeps the driver's own message queue served while it waits: the platform may send it
// messages (activation changes) that the program under test waits for.
bool WaitUntil(const std::function<bool()> &condition, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount() - start > timeoutMs)
            return false;
        MSG message;
        while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
        MsgWaitForMultipleObjects(0, NULL, FALSE, 5, QS_ALLINPUT);
    }
}

std::string WindowText(HWND window)
{
    // The wide message comes back whole across processes; the ANSI one may not.
    wchar_t text[1024] = L"";
    SendMessageW(window, WM_GETTEXT, 1024, (LPARAM)text);
    char narrow[1024] = "";
    WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, sizeof narrow, NULL, NULL);
    return narrow;
}

// "D hh:mm:ss.hh" exactly, as milliseconds (hundredths resolution); -1 when malformed.
long long ElapsedMs(const std::string &text)
{
    unsigned long days, h, m, s, cs;
    char again[64];
    if (sscanf(text.c_str(), "%lu %lu:%lu:%lu.%lu", &days, &h, &m, &s, &cs) != 5)
        return -1;
    snprintf(again, sizeof again, "%lu %02lu:%02lu:%02lu.%02lu", days, h, m, s, cs);
    if (text != again || h > 23 || m > 59 || s > 59 || cs > 99)
        return -1;
    return (((long long)days * 24 + h) * 60 + m) * 60000 + s * 1000 + cs * 10;
}

std::string ClassOf(HWND window)
{
    char name[256] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

int ListCount(HWND list)
{
    return (int)SendMessageW(list, LB_GETCOUNT, 0, 0);
}

std::string ListText(HWND list, int index)
{
    wchar_t text[256] = L"";
    if (SendMessageW(list, LB_GETTEXTLEN, index, 0) >= 256)
        return "(too long)";
    SendMessageW(list, LB_GETTEXT, index, (LPARAM)text);
    char narrow[256] = "";
    WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, sizeof narrow, NULL, NULL);
    return narrow;
}

int ListSelection(HWND list)
{
    return (int)SendMessageW(list, LB_GETCURSEL, 0, 0);
}

int ListTop(HWND list)
{
    return (int)SendMessageW(list, LB_GETTOPINDEX, 0, 0);
}

namespace {

struct Search {
    DWORD processId;
    const char *className;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM param)
{
    Search *search = (Search *)param;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if ((search->processId == 0 || processId == search->processId) && IsWindowVisible(window) &&
        ClassOf(window) == search->className)
        search->found.push_back(window);
    return TRUE;
}

} // namespace

std::vector<HWND> TopWindows(DWORD processId, const char *className)
{
    Search search = {processId, className, {}};
    EnumWindows(CollectWindow, (LPARAM)&search);
    return search.found;
}

HWND FocusOf(HWND window)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(window, NULL), &info);
    return info.hwndFocus;
}

bool StartApp(App &app, const std::string &exe, const std::string &folder,
              const std::string &arguments)
{
    std::string commandLine = "\"" + exe + "\"" + (arguments.empty() ? "" : " " + arguments);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!CreateProcessA(exe.c_str(), line.data(), NULL, NULL, FALSE, 0, NULL,
                        folder.empty() ? NULL : folder.c_str(), &startup, &app.process))
        return false;
    bool found = WaitUntil([&] {
        std::vector<HWND> windows = TopWindows(app.process.dwProcessId, "Tarvik 2");
        app.window = windows.empty() ? NULL : windows[0];
        return app.window != NULL && !WindowText(GetDlgItem(app.window, 140)).empty();
    });
    return found;
}

DWORD WaitForExit(const App &app, DWORD timeoutMs)
{
    DWORD code = STILL_ACTIVE;
    if (WaitUntil([&] { return WaitForSingleObject(app.process.hProcess, 0) == WAIT_OBJECT_0; },
                  timeoutMs))
        GetExitCodeProcess(app.process.hProcess, &code);
    return code;
}

void KillApp(App &app)
{
    if (app.process.hProcess == NULL)
        return;
    if (WaitForSingleObject(app.process.hProcess, 0) != WAIT_OBJECT_0) {
        TerminateProcess(app.process.hProcess, 99);
        WaitForSingleObject(app.process.hProcess, WAIT_MS);
    }
    CloseHandle(app.process.hProcess);
    CloseHandle(app.process.hThread);
    app = App();
}

namespace {

void SendKey(WORD vk, bool up)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = (WORD)MapVirtualKeyA(vk, 0);
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &input, sizeof input);
}

WORD KeyCode(const std::string &name)
{
    static const std::map<std::string, WORD> named = {
        {"alt", VK_MENU},    {"shift", VK_SHIFT}, {"ctrl", VK_CONTROL}, {"enter", VK_RETURN},
        {"esc", VK_ESCAPE},  {"tab", VK_TAB},     {"f1", VK_F1},        {"f4", VK_F4},
        {"caps", VK_CAPITAL}, {"space", VK_SPACE},
    };
    auto it = named.find(name);
    if (it != named.end())
        return it->second;
    return (WORD)toupper((unsigned char)name[0]);
}

} // namespace

// Input goes where a person's would: to the window's active modal box when one is up.
static void BringForward(HWND target)
{
    HWND active = GetLastActivePopup(target);
    BOOL ok = SetForegroundWindow(active);
    // The switch is carried out by the target's thread; input sent before it would go astray.
    if (!WaitUntil([&] { return GetForegroundWindow() == active; }, 2000))
        printf("driver: foreground stayed %p, not %p (%d)\n", (void *)GetForegroundWindow(),
               (void *)active, ok);
}

void Keys(HWND target, const std::string &chord)
{
    BringForward(target);
    std::vector<WORD> keys;
    size_t start = 0;
    for (size_t plus; (plus = chord.find('+', start)) != std::string::npos; start = plus + 1)
        keys.push_back(KeyCode(chord.substr(start, plus - start)));
    keys.push_back(KeyCode(chord.substr(start)));
    for (WORD key : keys)
        SendKey(key, false);
    for (auto it = keys.rbegin(); it != keys.rend(); ++it)
        SendKey(*it, true);
}

// Each event carries its own position: a button event without MOUSEEVENTF_MOVE ignores its
// coordinates and lands wherever the pointer is when it is taken, which under Wine need not
// yet be where the move before it went (it may still be on the previous case's close button).
void ClickAt(HWND target, int screenX, int screenY)
{
    BringForward(target);
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    INPUT input[3] = {};
    const DWORD buttons[] = {0, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP};
    for (int i = 0; i < 3; ++i) {
        input[i].type = INPUT_MOUSE;
        input[i].mi.dx = MulDiv(screenX, 65535, width - 1);
        input[i].mi.dy = MulDiv(screenY, 65535, height - 1);
        input[i].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | buttons[i];
    }
    SendInput(3, input, sizeof input[0]);
}

void Click(HWND target, HWND control)
{
    RECT rect;
    GetWindowRect(control, &rect);
    ClickAt(target, (rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
}

void ClickCloseButton(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    int frame = GetSystemMetrics(SM_CXDLGFRAME);
    int x = rect.right - frame - GetSystemMetrics(SM_CXSIZE) / 2 - 2;
    int y = rect.top + frame + GetSystemMetrics(SM_CYCAPTION) / 2;
    ClickAt(window, x, y);
}

bool SaveScreenshot(const std::string &bmpPath, RECT area)
{
    int width = area.right - area.left, height = area.bottom - area.top;
    HDC screen = GetDC(NULL);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    void *bits = NULL;
    HBITMAP bitmap =
        CreateDIBSection(screen, (BITMAPINFO *)&header, DIB_RGB_COLORS, &bits, NULL, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    GdiFlush();
    DWORD imageBytes = (DWORD)(((width * 3 + 3) & ~3) * height);
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + imageBytes;
    FILE *out = fopen(bmpPath.c_str(), "wb");
    bool written = out && fwrite(&file, sizeof file, 1, out) == 1 &&
                   fwrite(&header, sizeof header, 1, out) == 1 &&
                   fwrite(bits, imageBytes, 1, out) == 1;
    if (out)
        fclose(out);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(NULL, screen);
    return written;
}
