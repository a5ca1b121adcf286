// The driver's workings; driver.h says what each routine is for.
#include "driver.h"

#include <io.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <map>
#include <stdexcept>

std::string Env(const char *name, const char *fallback)
{
    const char *value = getenv(name);
    return value ? value : fallback;
}

void OutputToFile()
{
    std::string path = Env("TRV_OUTPUT");
    if (!path.empty() && freopen(path.c_str(), "w", stdout) != NULL) {
        setvbuf(stdout, NULL, _IONBF, 0);
        _dup2(_fileno(stdout), _fileno(stderr)); // sets the standard handles too
    }
}

// What bounds a case: its name, when it started and for how long it may run (unbounded until
// the first StartCase), the driver's step, the inputs sent in it, and the programs whose end,
// unless awaited, ends the case. The watchdog reads them under CaseLock, which the main thread
// holds only while it changes them.
static CRITICAL_SECTION CaseLock;
static const bool CaseLockReady = (InitializeCriticalSection(&CaseLock), true);
static std::string CaseName, CaseStep;
static DWORD CaseStart, CaseLimit = MAXDWORD;
static std::string Sent;
static std::vector<HANDLE> Watched;

namespace {

struct CaseLocked {
    CaseLocked() { EnterCriticalSection(&CaseLock); }
    ~CaseLocked() { LeaveCriticalSection(&CaseLock); }
};

void Step(const std::string &step)
{
    CaseLocked locked;
    CaseStep = step;
}

void Note(const std::string &input)
{
    CaseLocked locked;
    Sent += " " + input;
}

} // namespace

[[noreturn]] static void Fail(const std::string &what)
{
    throw std::runtime_error(what + "; inputs sent in this case:" +
                             (Sent.empty() ? " none" : Sent));
}

static void Unwatch(const App &app)
{
    CaseLocked locked;
    Watched.erase(std::remove(Watched.begin(), Watched.end(), app.process.hProcess), Watched.end());
}

static std::string Describe(HWND window)
{
    char title[128] = "";
    GetWindowTextA(window, title, sizeof title);
    return "window " + ClassOf(window) + " \"" + title + "\"";
}

// Keeps the driver's own message queue served while it waits: the platform may send it
// messages (activation changes) that the program under test waits for.
bool WaitUntil(const std::function<bool()> &condition, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (condition())
            return true;
        for (HANDLE process : Watched)
            if (WaitForSingleObject(process, 0) == WAIT_OBJECT_0)
                Fail("the program ended by itself");
        if (GetTickCount() - CaseStart > CaseLimit)
            Fail("the case ran past its " + std::to_string(CASE_MS / 1000) + " s");
        if (GetTickCount() - start > timeoutMs)
            return false;
        MSG message;
        while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
        MsgWaitForMultipleObjects(0, NULL, FALSE, 5, QS_ALLINPUT);
    }
}

// The wide messages come back whole across processes; the ANSI ones may not. A window that
// is gone answers 0; one that does not answer ends the case.
LRESULT Ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &answer) &&
        IsWindow(window))
        Fail(Describe(window) + " did not answer message " + std::to_string(message));
    return answer;
}

std::wstring Wide(const std::string &text)
{
    wchar_t wide[TEXT_CHARS] = L"";
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide, TEXT_CHARS);
    return wide;
}

std::string Utf8(const wchar_t *text)
{
    char narrow[4 * TEXT_CHARS] = "";
    WideCharToMultiByte(CP_UTF8, 0, text, -1, narrow, sizeof narrow, NULL, NULL);
    return narrow;
}

std::string WindowText(HWND window)
{
    wchar_t text[TEXT_CHARS] = L"";
    Ask(window, WM_GETTEXT, TEXT_CHARS, (LPARAM)text);
    return Utf8(text);
}

std::string ClassOf(HWND window)
{
    char name[256] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

int ListCount(HWND list)
{
    return (int)Ask(list, LB_GETCOUNT);
}

std::string ListText(HWND list, int index)
{
    wchar_t text[256] = L"";
    if (Ask(list, LB_GETTEXTLEN, index) >= 256)
        return "(too long)";
    Ask(list, LB_GETTEXT, index, (LPARAM)text);
    return Utf8(text);
}

static BOOL CALLBACK CollectWindow(HWND window, LPARAM param)
{
    auto *search = (std::pair<const std::function<bool(HWND)> *, std::vector<HWND>> *)param;
    if ((*search->first)(window))
        search->second.push_back(window);
    return TRUE;
}

std::vector<HWND> FindWindows(HWND parent, const std::function<bool(HWND)> &match)
{
    std::pair<const std::function<bool(HWND)> *, std::vector<HWND>> search = {&match, {}};
    if (parent == NULL)
        EnumWindows(CollectWindow, (LPARAM)&search);
    else
        EnumChildWindows(parent, CollectWindow, (LPARAM)&search);
    return search.second;
}

std::vector<HWND> TopWindows(DWORD processId, const char *className)
{
    return FindWindows(NULL, [&](HWND window) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        return (processId == 0 || owner == processId) && IsWindowVisible(window) &&
               ClassOf(window) == className;
    });
}

// What the window's thread has active and focused, as it sees it.
static GUITHREADINFO ThreadInput(HWND window)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(window, NULL), &info);
    return info;
}

HWND FocusOf(HWND window)
{
    return ThreadInput(window).hwndFocus;
}

bool StartApp(App &app, const std::string &exe, const std::string &folder,
              const std::string &arguments)
{
    Step("starting " + exe);
    std::wstring line = Wide("\"" + exe + "\"" + (arguments.empty() ? "" : " " + arguments));
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    if (!CreateProcessW(Wide(exe).c_str(), &line[0], NULL, NULL, FALSE, 0, NULL,
                        folder.empty() ? NULL : Wide(folder).c_str(), &startup, &app.process))
        return false;
    {
        CaseLocked locked;
        Watched.push_back(app.process.hProcess);
    }
    return WaitUntil([&] {
        app.window = First(TopWindows(app.process.dwProcessId, TEXT_OF_IDS_CLASS_NAME));
        return app.window != NULL && !WindowText(GetDlgItem(app.window, IDC_CURRENT)).empty();
    });
}

DWORD WaitForExit(const App &app, DWORD timeoutMs)
{
    if (timeoutMs > 0) // an end awaited is no failure
        Unwatch(app);
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
    Step("ending a program");
    Unwatch(app);
    if (WaitForSingleObject(app.process.hProcess, 0) != WAIT_OBJECT_0) {
        TerminateProcess(app.process.hProcess, 99);
        WaitForSingleObject(app.process.hProcess, WAIT_MS);
    }
    CloseHandle(app.process.hProcess);
    CloseHandle(app.process.hThread);
    app = App();
}

namespace {

INPUT KeyInput(WORD vk, bool up)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = (WORD)MapVirtualKeyA(vk, 0);
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
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

const WORD MODIFIERS[] = {VK_SHIFT, VK_CONTROL, VK_MENU};

// Every mouse event carries its own absolute position: a button event without one lands
// wherever the platform last put the pointer, which under Wine's X11 driver need not yet be
// where the move before it went.
void SendMouse(int screenX, int screenY, DWORD buttons)
{
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = MulDiv(screenX, 65535, width - 1);
    input.mi.dy = MulDiv(screenY, 65535, height - 1);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | buttons;
    SendInput(1, &input, sizeof input);
}

const char *const OUR_CLASSES[] = {TEXT_OF_IDS_CLASS_NAME, "MS_WINHELP", "#32770"};

// What keeps the desktop from its known state: a modifier held, Caps Lock on, the pointer
// away from CORNER, a window of an earlier case; empty when nothing does.
std::string Unrest(POINT corner)
{
    std::string wrong;
    for (WORD key : MODIFIERS)
        if (GetAsyncKeyState(key) & 0x8000)
            wrong += " key " + std::to_string(key) + " held;";
    if (GetKeyState(VK_CAPITAL) & 1) // under Wine, the desktop's state, as no focus is here
        wrong += " Caps Lock on;";
    POINT at = {};
    if (!GetCursorPos(&at) || at.x != corner.x || at.y != corner.y)
        wrong += " pointer at " + std::to_string(at.x) + "," + std::to_string(at.y) + ";";
    for (const char *className : OUR_CLASSES)
        if (!TopWindows(0, className).empty())
            wrong += std::string(" a window of class ") + className + " left;";
    return wrong.empty() ? wrong : wrong.substr(0, wrong.size() - 1);
}

// In front, active and focused as its own thread sees it: a key sent before the thread has
// taken the activation finds no focus and is dropped.
bool ReadyForInput(HWND window)
{
    GUITHREADINFO info = ThreadInput(window);
    return GetForegroundWindow() == window && info.hwndActive == window &&
           info.hwndFocus != NULL && IsWindowEnabled(window);
}

} // namespace

void CloseOurWindows()
{
    for (const char *className : OUR_CLASSES)
        for (HWND window : TopWindows(0, className))
            PostMessageA(window, WM_CLOSE, 0, 0);
}

// Ends the run, and every program with a window of ours, when a case is stuck past its bound
// in a call that does not return, which WaitUntil never sees (docs/testing.md). It asks only
// the server, never a window, so nothing it does can wait on the hung call.
static DWORD WINAPI Watchdog(LPVOID)
{
    for (;;) {
        Sleep(WATCHDOG_POLL_MS);
        std::string report;
        std::vector<HANDLE> programs;
        {
            CaseLocked locked;
            DWORD ran = GetTickCount() - CaseStart;
            if (CaseLimit == MAXDWORD || ran <= CaseLimit + WATCHDOG_GRACE_MS)
                continue;
            report = "e2e: watchdog: " + CaseName + " ran past its " +
                     std::to_string(CaseLimit / 1000) + " s in the step \"" + CaseStep +
                     "\"; inputs sent in it:" + (Sent.empty() ? " none" : Sent) + "\n";
            programs = Watched;
        }
        DWORD written;
        WriteFile(GetStdHandle(STD_ERROR_HANDLE), report.data(), (DWORD)report.size(), &written,
                  NULL);
        for (const char *className : OUR_CLASSES)
            for (HWND window : TopWindows(0, className)) {
                DWORD id = 0;
                GetWindowThreadProcessId(window, &id);
                HANDLE process = id == GetCurrentProcessId()
                                     ? NULL
                                     : OpenProcess(PROCESS_TERMINATE, FALSE, id);
                if (process != NULL)
                    programs.push_back(process);
            }
        for (HANDLE process : programs)
            TerminateProcess(process, 99);
        TerminateProcess(GetCurrentProcess(), 3);
    }
}

void StartCase(const std::string &name)
{
    static const bool watching =
        CaseLockReady && CreateThread(NULL, 0, Watchdog, NULL, 0, NULL) != NULL;
    {
        CaseLocked locked;
        CaseName = name;
        CaseStep = "the known state before it";
        CaseStart = GetTickCount();
        CaseLimit = CASE_MS;
        Sent.clear();
        Watched.clear(); // what an earlier case left is closed now, not a failure of this one
    }
    if (!watching)
        Fail("no watchdog");
    CloseOurWindows();
    std::vector<INPUT> keys;
    for (WORD key : MODIFIERS)
        if (GetAsyncKeyState(key) & 0x8000)
            keys.push_back(KeyInput(key, true));
    if (GetKeyState(VK_CAPITAL) & 1)
        keys.insert(keys.end(), {KeyInput(VK_CAPITAL, false), KeyInput(VK_CAPITAL, true)});
    SendInput((UINT)keys.size(), keys.data(), sizeof(INPUT));
    POINT corner = {GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1};
    SendMouse(corner.x, corner.y, 0);
    std::string wrong;
    if (!WaitUntil([&] { return (wrong = Unrest(corner)).empty(); }))
        Fail("no known state before the case:" + wrong);
}

// Input goes where a person's would: to the window's active modal box when one is up.
static void BringForward(HWND target)
{
    if (!IsWindow(target))
        Fail("the window for the input is gone");
    Step("bringing " + Describe(GetLastActivePopup(target)) + " forward");
    // Asked again while waiting: a box that is being destroyed can be the answer once.
    HWND active = NULL;
    bool ready = WaitUntil([&] {
        if (active != GetLastActivePopup(target))
            SetForegroundWindow(active = GetLastActivePopup(target));
        return ReadyForInput(active);
    }, 5000);
    if (!ready)
        Fail(Describe(active) + (IsWindowEnabled(active) ? "" : ", disabled,") +
             " not ready for input; in front: " + Describe(GetForegroundWindow()));
    Ask(active, WM_NULL);
}

void Keys(HWND target, const std::string &chord)
{
    BringForward(target);
    Step("sending " + chord);
    Note(chord);
    std::vector<WORD> keys;
    size_t start = 0;
    for (size_t plus; (plus = chord.find('+', start)) != std::string::npos; start = plus + 1)
        keys.push_back(KeyCode(chord.substr(start, plus - start)));
    keys.push_back(KeyCode(chord.substr(start)));
    // The whole chord at once: Wine releases the modifiers that the X server has not seen pressed
    // (all of the driver's) when a window gains the X focus, which may come late under load.
    std::vector<INPUT> inputs;
    for (WORD key : keys)
        inputs.push_back(KeyInput(key, false));
    for (auto it = keys.rbegin(); it != keys.rend(); ++it)
        inputs.push_back(KeyInput(*it, true));
    SendInput((UINT)inputs.size(), inputs.data(), sizeof(INPUT));
}

void PressAndRelease(HWND target, POINT press, POINT release, const std::string &what)
{
    BringForward(target);
    Step("clicking " + what);
    Note("click:" + what);
    SendMouse(press.x, press.y, 0);
    SendMouse(press.x, press.y, MOUSEEVENTF_LEFTDOWN);
    SendMouse(release.x, release.y, MOUSEEVENTF_LEFTUP);
}

POINT CentreOf(HWND control)
{
    RECT rect;
    GetWindowRect(control, &rect);
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

void Click(HWND target, HWND control)
{
    ClickAt(target, CentreOf(control), "control " + std::to_string(GetDlgCtrlID(control)));
}

POINT CloseButtonOf(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    int frame = GetSystemMetrics(SM_CXDLGFRAME);
    return {rect.right - frame - GetSystemMetrics(SM_CXSIZE) / 2 - 2,
            rect.top + frame + GetSystemMetrics(SM_CYCAPTION) / 2};
}

std::string ReadFileText(const std::string &path)
{
    char text[1024] = "";
    FILE *f = fopen(path.c_str(), "rb");
    size_t length = f ? fread(text, 1, sizeof text, f) : 0;
    if (f)
        fclose(f);
    return std::string(text, length);
}

bool WriteFileText(const std::string &path, const std::string &text)
{
    FILE *f = fopen(path.c_str(), "wb");
    bool written = f && fwrite(text.data(), 1, text.size(), f) == text.size();
    return f && fclose(f) == 0 && written;
}

// The screen's pixels in AREA as a 24-bit bitmap holds them, rows bottom up, each padded to
// four bytes; empty where they cannot be read.
static std::vector<BYTE> ScreenPixels(RECT area, BITMAPINFOHEADER &header)
{
    header = {};
    header.biSize = sizeof header;
    header.biWidth = area.right - area.left;
    header.biHeight = area.bottom - area.top;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biSizeImage = (DWORD)(((header.biWidth * 3 + 3) & ~3) * header.biHeight);
    HDC screen = GetDC(NULL);
    HDC memory = CreateCompatibleDC(screen);
    void *bits = NULL;
    HBITMAP bitmap =
        CreateDIBSection(screen, (BITMAPINFO *)&header, DIB_RGB_COLORS, &bits, NULL, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    bool read = bits != NULL && BitBlt(memory, 0, 0, header.biWidth, header.biHeight, screen,
                                       area.left, area.top, SRCCOPY);
    GdiFlush();
    std::vector<BYTE> pixels;
    if (read)
        pixels.assign((BYTE *)bits, (BYTE *)bits + header.biSizeImage);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(NULL, screen);
    return pixels;
}

// Under Wine the X server may show a moved window at its old place for a while, and takes the
// pointer to be over what it shows there, which Wine then raises over the moved window (a modal
// box's owner over the box, say): so the driver waits until the screen shows the caption at the
// new place. Each Wine process replays the X server's reports of where the pointer entered its
// windows, maybe between a press and its release: so the pointer goes first to where the next
// click goes. The move is only asked for, so that a busy window's thread cannot hold the driver.
void MoveWindowTo(HWND window, int x, int y, POINT pointer)
{
    Step("moving " + Describe(window));
    SendMouse(pointer.x, pointer.y, 0);
    RECT from;
    GetWindowRect(window, &from);
    // The caption's middle row within the frame, as far as it is on the screen at both places:
    // at the new place, Wine 10 may show a dialog box without its frame (its X window there is
    // the box within the frame, and the frame's pixels are those of the windows beneath).
    int row = GetSystemMetrics(SM_CYDLGFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2;
    POINT client = {0, 0};
    ClientToScreen(window, &client);
    int frame = client.x - from.left;
    int width = std::min<int>(from.right - from.left - 2 * frame,
                              GetSystemMetrics(SM_CXSCREEN) - std::max<int>(from.left, x) - frame);
    BITMAPINFOHEADER header;
    std::vector<BYTE> caption = ScreenPixels({from.left + frame, from.top + row,
                                              from.left + frame + width, from.top + row + 1},
                                             header);
    if (caption.empty() || width <= 0)
        Fail("no caption of " + Describe(window) + " to follow on the screen");
    SetWindowPos(window, NULL, x, y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
    if (!WaitUntil([&] {
            RECT now;
            return GetWindowRect(window, &now) && now.left == x && now.top == y &&
                   ScreenPixels({x + frame, y + row, x + frame + width, y + row + 1}, header) ==
                       caption;
        }))
        Fail(Describe(window) + " not shown where it was moved to");
}

bool SaveScreenshot(const std::string &bmpPath, RECT area)
{
    Step("taking a screenshot");
    BITMAPINFOHEADER header;
    std::vector<BYTE> pixels = ScreenPixels(area, header);
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + header.biSizeImage;
    std::string image((const char *)&file, sizeof file);
    image.append((const char *)&header, sizeof header);
    image.append(pixels.begin(), pixels.end());
    return !pixels.empty() && WriteFileText(bmpPath, image);
}
