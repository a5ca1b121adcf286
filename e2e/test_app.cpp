// TRV.EXE under Wine, driven by keys and clicks and read back through window messages.
#include <gtest/gtest.h>

#include <stdio.h>

#include "../tests/main_layout.h"
#include "driver.h"

#include <shellapi.h>

namespace {

// "hh:mm:ss.d0" exactly, as milliseconds of the day; -1 when malformed.
long TimeOfDayMs(const std::string &text)
{
    unsigned h, m, s, tenths;
    char again[32];
    if (sscanf(text.c_str(), "%u:%u:%u.%1u", &h, &m, &s, &tenths) != 4)
        return -1;
    snprintf(again, sizeof again, "%02u:%02u:%02u.%u0", h, m, s, tenths);
    if (text != again || h > 23 || m > 59 || s > 59)
        return -1;
    return ((h * 60 + m) * 60 + s) * 1000 + tenths * 100;
}

std::string Elapsed(const App &app)
{
    return WindowText(app.Control(IDC_ELAPSED));
}

HWND AboutBox(const App &app)
{
    for (HWND box : TopWindows(app.process.dwProcessId, "#32770"))
        if (GetWindow(box, GW_OWNER) == app.window)
            return box;
    return NULL;
}

// Closed, and its owner enabled and active again with the focus: the box is hidden before
// its modal loop ends.
bool AboutClosed(const App &app)
{
    return AboutBox(app) == NULL && IsWindowEnabled(app.window) &&
           GetForegroundWindow() == app.window && FocusOf(app.window) == app.window;
}

// What a person would see when a window did not come: whether the program still runs, and
// which windows have the front and the program's focus. Their texts as the system keeps them:
// no message is sent, which a hung window would not answer.
std::string Scene(const App &app)
{
    auto named = [](HWND w) {
        wchar_t text[TEXT_CHARS] = L"";
        if (w == NULL)
            return std::string("none");
        GetWindowTextW(w, text, TEXT_CHARS);
        return ClassOf(w) + " '" + Utf8(text) + "'";
    };
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(app.process.hProcess, &code);
    return (code == STILL_ACTIVE ? "the program runs" : "it ended with " + std::to_string(code)) +
           ", in front: " + named(GetForegroundWindow()) + ", focus: " + named(FocusOf(app.window));
}

// Waits until every input sent so far has been handled: the About box it opens comes only
// after them, and is closed again. With Caps Lock on, the About key is Shift+Alt+A.
void Barrier(const App &app, const char *aboutKey = "alt+a")
{
    Keys(app.window, aboutKey);
    ASSERT_TRUE(WaitUntil([&] { return AboutBox(app) != NULL; }))
        << "About box for the barrier; " << Scene(app);
    Keys(app.window, "esc");
    ASSERT_TRUE(WaitUntil([&] { return AboutClosed(app); }));
}

bool IsRunning(const App &app)
{
    std::string first = Elapsed(app);
    return WaitUntil([&] { return Elapsed(app) != first; }, 300);
}

void WaitRunning(const App &app)
{
    ASSERT_TRUE(WaitUntil([&] { return ElapsedMs(Elapsed(app)) > 0; }));
    ASSERT_TRUE(IsRunning(app));
}

// Every case starts from a known state, is bounded in time and leaves no window behind (a
// help viewer left open would keep the desktop, and so the run, alive).
struct Desk : testing::Test {
    void SetUp() override
    {
        const testing::TestInfo *test = testing::UnitTest::GetInstance()->current_test_info();
        StartCase(std::string(test->test_suite_name()) + "." + test->name());
    }
    void TearDown() override { CloseOurWindows(); }
};

struct Session : Desk {
    App app;
    void SetUp() override
    {
        Desk::SetUp();
        ASSERT_TRUE(StartApp(app)) << ProgramPath();
    }
    void TearDown() override { KillApp(app); Desk::TearDown(); }
};

// Alt+X ends the program with code 0, and nothing of it is left.
void ExitByAltX(App &app)
{
    Keys(app.window, "alt+x");
    EXPECT_EQ(0u, WaitForExit(app));
    KillApp(app);
}

} // namespace

struct StartUp : Session {};

TEST_F(StartUp, ShowsTheMainWindowWithEveryControlInPlace)
{
    EXPECT_EQ("Tarvik 2", ClassOf(app.window));
    EXPECT_EQ("Tarvik 2", WindowText(app.window));
    LONG style = GetWindowLongA(app.window, GWL_STYLE);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_FALSE(style & (WS_POPUP | WS_CHILD));

    // The template sets no font: dialog units come from the system font's base units.
    LONG base = GetDialogBaseUnits();
    int baseX = LOWORD(base), baseY = HIWORD(base);
    RECT client;
    GetClientRect(app.window, &client);
    EXPECT_EQ(MulDiv(MAIN_CX, baseX, 4), client.right);
    EXPECT_EQ(MulDiv(MAIN_CY, baseY, 8), client.bottom);

    const char *const CLASSES[] = {"Button", "", "Static", "ListBox"}; // by ordinal from 0x80
    for (const Control &c : MAIN_CONTROLS) {
        SCOPED_TRACE(c.id);
        HWND control = app.Control(c.id);
        ASSERT_NE((HWND)NULL, control);
        EXPECT_STRCASEEQ(CLASSES[c.classOrdinal - BUTTON], ClassOf(control).c_str());
        if (c.id != IDC_CURRENT) { // it ticks: read below
            EXPECT_EQ(c.text, WindowText(control));
        }
        RECT r;
        GetWindowRect(control, &r);
        MapWindowPoints(NULL, app.window, (POINT *)&r, 2);
        EXPECT_EQ(MulDiv(c.x, baseX, 4), r.left);
        EXPECT_EQ(MulDiv(c.y, baseY, 8), r.top);
        EXPECT_EQ(MulDiv(c.cx, baseX, 4), r.right - r.left);
        int height = MulDiv(c.cy, baseY, 8);
        if (c.id == IDC_SAVED_LIST) { // trimmed to whole lines
            EXPECT_GT(r.bottom - r.top, height - (int)Ask(control, LB_GETITEMHEIGHT));
            EXPECT_LE(r.bottom - r.top, height);
        } else {
            EXPECT_EQ(height, r.bottom - r.top);
        }
    }
    EXPECT_EQ(0, ListCount(app.Control(IDC_SAVED_LIST)));

    SYSTEMTIME now;
    GetLocalTime(&now);
    long driverMs = ((now.wHour * 60 + now.wMinute) * 60 + now.wSecond) * 1000 + now.wMilliseconds;
    long shownMs = TimeOfDayMs(WindowText(app.Control(IDC_CURRENT)));
    ASSERT_GE(shownMs, 0) << WindowText(app.Control(IDC_CURRENT));
    long difference = labs(driverMs - shownMs);
    EXPECT_LT(difference < 43200000 ? difference : 86400000 - difference, 1000);
    std::string shown = WindowText(app.Control(IDC_CURRENT));
    EXPECT_TRUE(WaitUntil([&] { return WindowText(app.Control(IDC_CURRENT)) != shown; }))
        << "ticking";

    // Tab moves no focus: the keyboard stays with the accelerators. A move would come within
    // a few ticks; no input after it can show that it did not come.
    Keys(app.window, "tab");
    EXPECT_FALSE(WaitUntil([&] { return FocusOf(app.window) != app.window; }, 500));
    ExitByAltX(app);
}

TEST_F(StartUp, IgnoresItsCommandLineAndRunsBesideASecondCopy)
{
    App second;
    ASSERT_TRUE(StartApp(second, ProgramPath(), "", "/x --help \"any thing\""));
    EXPECT_NE(app.window, second.window);
    Keys(second.window, "alt+s");
    WaitRunning(second);
    Barrier(app);
    EXPECT_EQ("", Elapsed(app));
    ExitByAltX(second);
    EXPECT_EQ(STILL_ACTIVE, WaitForExit(app, 0));
    ExitByAltX(app);
}

struct Clock : Session {};

// Stopped once the display has held still for a second, which is longer than the held-back
// ticks take to drain; SEEN is when its final text was first read.
bool WaitStopped(const App &app, DWORD &seen)
{
    std::string last = Elapsed(app);
    seen = GetTickCount();
    return WaitUntil([&] {
        std::string now = Elapsed(app);
        if (now != last) {
            last = now;
            seen = GetTickCount();
        }
        return GetTickCount() - seen >= 1000;
    });
}

TEST_F(Clock, StartsAndStopsByButtonEnterAndAltSFreezingTheReadingOfTheMomentOfStop)
{
    const char *const ways[] = {"button", "enter", "alt+s"};
    for (const char *way : ways) {
        SCOPED_TRACE(way);
        // Returns the driver's tick before the input was sent.
        auto toggle = [&] {
            DWORD sent = GetTickCount();
            if (std::string(way) == "button")
                Click(app.window, app.Control(CMD_START_STOP));
            else
                Keys(app.window, way);
            return sent;
        };
        std::string before = Elapsed(app);
        DWORD started = toggle();
        ASSERT_TRUE(WaitUntil([&] { return Elapsed(app) != before && ElapsedMs(Elapsed(app)) >= 0; }))
            << way << " to start";
        DWORD startSeen = GetTickCount();
        ASSERT_TRUE(IsRunning(app));
        EXPECT_EQ('0', Elapsed(app)[0]);
        Pause(300); // let it run a while

        // Posted messages come before timer messages: a burst of them holds the ticks back,
        // so a display written only at ticks would be stale when the Stop is handled.
        for (int i = 0; i < 2000; ++i)
            PostThreadMessageA(app.process.dwThreadId, WM_NULL, 0, 0);
        DWORD stopped = toggle();
        DWORD seen = 0;
        ASSERT_TRUE(WaitStopped(app, seen)) << way << " to stop";
        long long frozen = ElapsedMs(Elapsed(app));
        // Each toggle is handled after it was sent and before the driver saw its effect; a
        // key is sent only once the window is in front, so the start may be handled well
        // after the moment taken for it. The slack covers the hundredths cut off.
        const long long slack = 20;
        EXPECT_GE(frozen, (long long)(stopped - startSeen) - slack) << Elapsed(app);
        EXPECT_LE(frozen, (long long)(seen - started) + slack) << Elapsed(app);
        printf("%s: frozen %lld ms, sent after %lu ms, seen after %lu ms\n", way, frozen,
               (unsigned long)(stopped - started), (unsigned long)(seen - started));
    }
    ExitByAltX(app);
}

TEST_F(Clock, LettersWithShiftOrCapsLockAndModifiedEnterDoNothing)
{
    const char *const inert[] = {"shift+alt+s", "shift+enter", "ctrl+enter", "alt+enter",
                                 "shift+f1", "ctrl+f1", "alt+f1", "shift+alt+x", "shift+alt+a"};
    for (const char *chord : inert)
        Keys(app.window, chord);
    Barrier(app);
    EXPECT_EQ("", Elapsed(app));
    EXPECT_TRUE(TopWindows(0, "MS_WINHELP").empty());
    EXPECT_EQ(STILL_ACTIVE, WaitForExit(app, 0));

    Keys(app.window, "caps");
    Keys(app.window, "alt+s"); // an upper-case S: nothing
    Barrier(app, "shift+alt+a");
    EXPECT_EQ("", Elapsed(app));
    Keys(app.window, "shift+alt+s"); // Caps Lock and Shift together give a lower-case s
    WaitRunning(app);
    Keys(app.window, "caps");
    Keys(app.window, "alt+s");
    ASSERT_TRUE(WaitUntil([&] { return !IsRunning(app); }));
    ExitByAltX(app);
}

// The keyboard belongs to the accelerators: no control keeps the focus, not even a button
// pressed and then released off it, which no command follows. Space then presses nothing.
TEST_F(Clock, EnterTogglesWhicheverControlWasClickedLastAndSpacePressesNothing)
{
    Click(app.window, app.Control(CMD_SAVE)); // refused while stopped
    Keys(app.window, "enter");
    WaitRunning(app);
    Click(app.window, app.Control(IDC_SAVED_LIST));
    Keys(app.window, "enter");
    ASSERT_TRUE(WaitUntil([&] { return !IsRunning(app); }));
    EXPECT_EQ(app.window, FocusOf(app.window)); // the list never keeps the focus

    std::string stopped = Elapsed(app);
    const POINT off = CentreOf(app.Control(IDC_CURRENT_LABEL));
    for (int id : {CMD_EXIT, CMD_START_STOP}) {
        SCOPED_TRACE(id);
        PressAndRelease(app.window, CentreOf(app.Control(id)), off,
                        "press on " + std::to_string(id) + ", release off it");
        Keys(app.window, "space"); // handled after the press and release: input keeps its order
        Barrier(app);
        EXPECT_EQ(STILL_ACTIVE, WaitForExit(app, 0));
        EXPECT_EQ(stopped, Elapsed(app));
    }
    ExitByAltX(app);
}

struct Saving : Session {};

TEST_F(Saving, NumbersEntriesInOrderAcrossRunsAndRefusesWhileStopped)
{
    HWND list = app.Control(IDC_SAVED_LIST);
    Keys(app.window, "alt+v"); // stopped: refused
    Keys(app.window, "alt+s");
    WaitRunning(app);
    Click(app.window, app.Control(CMD_SAVE));
    ASSERT_TRUE(WaitUntil([&] { return ListCount(list) == 1; })) << "a click on Save: entry 1";
    Keys(app.window, "alt+v");
    ASSERT_TRUE(WaitUntil([&] { return ListCount(list) == 2; }));
    Keys(app.window, "alt+s");
    ASSERT_TRUE(WaitUntil([&] { return !IsRunning(app); }));
    Click(app.window, app.Control(CMD_SAVE)); // refused
    Keys(app.window, "alt+s");
    WaitRunning(app);
    // Enough saves to overflow the box.
    for (int i = 0; i < 10; ++i)
        Keys(app.window, "alt+v");
    ASSERT_TRUE(WaitUntil([&] { return ListCount(list) == 12; })) << ListCount(list);
    Barrier(app);
    EXPECT_EQ(12, ListCount(list));
    long long previous = -1;
    for (int i = 0; i < ListCount(list); ++i) {
        std::string entry = ListText(list, i);
        SCOPED_TRACE(entry);
        std::string prefix = std::to_string(i + 1) + ": ";
        ASSERT_EQ(prefix, entry.substr(0, prefix.size()));
        long long ms = ElapsedMs(entry.substr(prefix.size()));
        EXPECT_GE(ms, 0);
        if (i != 2) { // the third entry is the first of the second run
            EXPECT_GE(ms, previous);
        }
        previous = ms;
    }
    int last = ListCount(list) - 1;
    EXPECT_EQ(last, Ask(list, LB_GETCURSEL));
    RECT inside;
    GetClientRect(list, &inside);
    int visible = inside.bottom / (int)Ask(list, LB_GETITEMHEIGHT);
    EXPECT_GT(Ask(list, LB_GETTOPINDEX), 0);
    EXPECT_LE(Ask(list, LB_GETTOPINDEX), last);
    EXPECT_GT(Ask(list, LB_GETTOPINDEX) + visible, last);
    EXPECT_TRUE(GetWindowLongA(list, GWL_STYLE) & WS_VSCROLL);
    ExitByAltX(app);
}

struct About : Session {};

TEST_F(About, OpensCentredWithFocusOnOkAndClosesEveryWay)
{
    struct Way {
        const char *open, *close;
    } ways[] = {{"alt+a", "enter"}, {"button", "esc"}, {"alt+a", "click"}, {"button", "alt+f4"},
                {"alt+a", "caption"}};
    for (const Way &w : ways) {
        SCOPED_TRACE(std::string(w.open) + " then " + w.close);
        HWND box = NULL;
        auto opened = [&] { return (box = AboutBox(app)) != NULL; };
        if (std::string(w.open) == "button")
            Click(app.window, app.Control(CMD_ABOUT));
        else
            Keys(app.window, w.open);
        ASSERT_TRUE(WaitUntil(opened)) << "the About box, by " << w.open;
        RECT r;
        ASSERT_TRUE(WaitUntil([&] { return GetDlgCtrlID(FocusOf(box)) == IDCANCEL; }));
        GetWindowRect(box, &r);
        int width = r.right - r.left + 1, height = r.bottom - r.top + 1;
        EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN) / 2 - width / 2, r.left);
        EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN) / 2 - height / 2, r.top);
        EXPECT_EQ("Tarvik 2", WindowText(box));

        // The main window's keys do nothing while the box is up; its clock still ticks.
        Keys(app.window, "alt+s");
        std::string now = WindowText(app.Control(IDC_CURRENT));
        EXPECT_TRUE(WaitUntil([&] { return WindowText(app.Control(IDC_CURRENT)) != now; }));
        // The user moves the box, with the pointer to where the close goes; it opens centred
        // again next time.
        std::string close = w.close;
        HWND ok = GetDlgItem(box, IDCANCEL);
        POINT to = close == "click" ? CentreOf(ok) : CloseButtonOf(box);
        MoveWindowTo(box, 3, 4, {to.x + 3 - r.left, to.y + 4 - r.top});

        if (close == "click")
            Click(app.window, ok);
        else if (close == "caption")
            ClickCloseButton(box);
        else
            Keys(app.window, close);
        ASSERT_TRUE(WaitUntil([&] { return AboutClosed(app); })) << "closed by " << close;
        EXPECT_EQ("", Elapsed(app));
    }
    ExitByAltX(app);
}

namespace {

void SetRegistryText(HKEY root, const std::string &key, const char *name, const std::string &value)
{
    EXPECT_EQ(ERROR_SUCCESS, RegSetKeyValueA(root, key.c_str(), name, REG_SZ, value.c_str(),
                                             (DWORD)value.size() + 1)) << key;
}

// Wine tells each program the Windows version set for its file name (NULL: Wine's default).
void TellWindowsVersion(const char *exe, const char *version)
{
    std::string key = std::string("Software\\Wine\\AppDefaults\\") + exe;
    if (version == NULL)
        RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
    else
        SetRegistryText(HKEY_CURRENT_USER, key, "Version", version);
}

} // namespace

// Wine has the functions of Windows Vista and later whatever version it tells a program, so
// TRV.EXE opens its page wherever TRV.HTM lies beside it, and asks the help viewer, the engine
// of earlier Windows, wherever it does not.
struct Help : Desk {
    void TearDown() override
    {
        Desk::TearDown();
        TellWindowsVersion("TRV.EXE", NULL);
    }
    // The viewer builds its buttons anew for each topic.
    static HWND BackButton(HWND viewer)
    {
        return First(FindWindows(viewer, [](HWND child) { return WindowText(child) == "&Back"; }));
    }
    // The viewer with a topic, up and in front, as a person waits for it; null if it never is.
    static HWND ViewerInFront()
    {
        HWND viewer = NULL;
        bool up = WaitUntil([&] {
            return (viewer = First(TopWindows(0, "MS_WINHELP"))) != NULL &&
                   GetForegroundWindow() == viewer && BackButton(viewer) != NULL;
        });
        return up ? viewer : NULL;
    }
    // The viewer asks about a missing help file while the program waits: answer it, wait
    // until the box has gone, and return the path it names.
    static std::string MissingFileQuestion()
    {
        std::string text;
        HWND asking = NULL;
        if (!WaitUntil([&] {
                for (HWND box : TopWindows(0, "#32770"))
                    if ((text = WindowText(GetDlgItem(box, 0xFFFF))).rfind("Cannot find '", 0) == 0)
                        return (asking = box) != NULL;
                return false;
            }))
            return "(no question)";
        PostMessageA(asking, WM_COMMAND, IDNO, 0);
        const size_t open = text.find('\''), close = text.rfind('\'');
        return WaitUntil([&] { return !IsWindow(asking); }) ? text.substr(open + 1, close - open - 1)
                                                             : "(the question stayed)";
    }
};

TEST_F(Help, HandsTheEngineTheFullPathBesideTheProgramWhateverTheFolder)
{
    // Copies without a help file beside them (see e2e/run.sh): the viewer's question names the
    // path.
    std::string work = WorkFolder();
    struct Case {
        std::string exe, folder, key, helpPath;
    } cases[] = {
        {work + "\\nohelp\\TRV.EXE", "C:\\windows", "f1", work + "\\nohelp\\TRV.HLP"},
        {work + "\\nohelp\\TRV.EXE", work, "alt+h", work + "\\nohelp\\TRV.HLP"},
        {work + "\\renamed\\STOPWTCH.EXE", "C:\\", "f1", work + "\\renamed\\TRV.HLP"},
        {"T:\\TRV.EXE", "C:\\windows", "alt+h", "T:\\TRV.HLP"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.exe + " in " + c.folder + " by " + c.key);
        App app;
        ASSERT_TRUE(StartApp(app, c.exe, c.folder));
        Keys(app.window, c.key);
        EXPECT_STRCASEEQ(c.helpPath.c_str(), MissingFileQuestion().c_str());
        ExitByAltX(app);
    }
}

TEST_F(Help, OpensTheViewerOnTheContentsFollowsAJumpAndQuitsWithTheProgram)
{
    const std::string folder = WorkFile("viewer"); // with TRV.HLP and TRV.CNT
    const char *const endings[] = {"alt+x", "caption"};
    for (const char *ending : endings) {
        SCOPED_TRACE(ending);
        App app;
        ASSERT_TRUE(StartApp(app, folder + "\\TRV.EXE", "C:\\windows"));
        Keys(app.window, "f1");
        HWND viewer = ViewerInFront();
        ASSERT_NE((HWND)NULL, viewer);
        EXPECT_TRUE(TopWindows(0, "#32770").empty()) << "no error box";
        EXPECT_FALSE(IsWindowEnabled(BackButton(viewer))) << "the contents topic: nowhere back";
        RECT r;
        GetWindowRect(viewer, &r);
        if (std::string(ending) == "alt+x") {
            Pause(300); // let it paint
            SaveScreenshot(WorkFile("help-contents.bmp"), r);
            // The third line of the contents is the jump to the keyboard topic.
            ClickAt(viewer, {r.left + 50, r.top + 180}, "the jump");
            ASSERT_TRUE(WaitUntil([&] {
                HWND button = BackButton(viewer);
                return button != NULL && IsWindowEnabled(button);
            })) << "a click on the jump";
            Pause(300);
            SaveScreenshot(WorkFile("help-keyboard.bmp"), r);
            Keys(app.window, "alt+x");
        } else {
            // The viewer covers the main window: the user drags it aside first.
            MoveWindowTo(viewer, 500, 300, CloseButtonOf(app.window));
            ClickCloseButton(app.window);
        }
        EXPECT_EQ(0u, WaitForExit(app));
        EXPECT_TRUE(WaitUntil([] { return TopWindows(0, "MS_WINHELP").empty(); })) << "viewer quit";
        KillApp(app);
    }
}

// Where the system has the functions of Vista and later, the program opens the page beside it
// through the shell, whatever version it is told (as in a compatibility mode): here the driver
// itself stands in for the browser (see main) and notes the file it was asked to open. The
// folders (see e2e/run.sh) hold TRV.HLP, with the page or without it; some are named in
// scripts that the ANSI code page (1252) lacks. The page is handed on by its long name, as the
// user named the folder. Beside one copy lies a SHELL32.DLL that someone planted, which Wine
// prefers to its own as Windows does: the program never loads it.
TEST_F(Help, OnVistaAndLaterOpensThePageBesideTheProgramThroughTheShell)
{
    const std::string work = WorkFolder(), opened = WorkFile("opened.txt");
    const std::string planted = WorkFile("planted.txt"); // see e2e/planted.cpp
    const std::string page = work + "\\page", noPage = work + "\\nopage";
    const std::string cyrillic = "\\Тест", chinese = "\\中文 目录";
    char self[MAX_PATH] = "";
    GetModuleFileNameA(NULL, self, MAX_PATH);
    const std::string recorder = std::string("\"") + self + "\" --record \"%1\"";
    SetRegistryText(HKEY_CLASSES_ROOT, ".htm", "", "TarvikTest.Page");
    enum Outcome { PAGE, VIEWER, ERROR_BOX };
    struct Case {
        const char *name, *version;
        std::string folder, command;
        Outcome outcome;
    } cases[] = {
        {"Windows 10 with the page", "win10", page, recorder, PAGE},
        {"the page, telling the program Windows 95, as compatibility mode does", "win95", page,
         recorder, PAGE},
        {"Windows 10 without the page", "win10", noPage, recorder, VIEWER},
        {"a Cyrillic folder, with the page and a planted SHELL32.DLL", "win10", page + cyrillic,
         recorder, PAGE},
        {"a Cyrillic folder, without the page", "win10", noPage + cyrillic, recorder, VIEWER},
        {"a Chinese folder with a space, with the page", "win10", page + chinese, recorder, PAGE},
        {"a Chinese folder with a space, without the page", "win10", noPage + chinese, recorder,
         VIEWER},
        {"a shell command that fails", "win10", page, "\"C:\\none\\browser.exe\" \"%1\"",
         ERROR_BOX},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        DeleteFileA(opened.c_str());
        TellWindowsVersion("TRV.EXE", c.version);
        SetRegistryText(HKEY_CLASSES_ROOT, "TarvikTest.Page\\shell\\open\\command", "", c.command);
        App app;
        ASSERT_TRUE(StartApp(app, c.folder + "\\TRV.EXE", c.folder));
        Keys(app.window, "f1");
        std::vector<HWND> boxes;
        switch (c.outcome) {
        case PAGE:
            ASSERT_TRUE(WaitUntil([&] { return !ReadFileText(opened).empty(); }))
                << "page opened; loaded the planted DLL: " << ReadFileText(planted);
            printf("%s: the browser was handed %s\n", c.name, ReadFileText(opened).c_str());
            EXPECT_STRCASEEQ((c.folder + "\\TRV.HTM").c_str(), ReadFileText(opened).c_str());
            EXPECT_TRUE(TopWindows(0, "MS_WINHELP").empty()) << "no viewer";
            // The stand-in's console window takes the front, as a browser would, and may do so
            // after any check: the user goes back to the program once it has gone.
            EXPECT_TRUE(WaitUntil([&] {
                return !IsWindow((HWND)std::stoull(ReadFileText(WorkFile("console.txt"))));
            })) << "console gone";
            break;
        case VIEWER: // then back to the program, as a person goes once the help is up
            EXPECT_NE((HWND)NULL, ViewerInFront()) << "the viewer, asking no question";
            EXPECT_EQ("", ReadFileText(opened));
            break;
        case ERROR_BOX:
            ASSERT_TRUE(WaitUntil([&] {
                boxes = TopWindows(app.process.dwProcessId, "#32770");
                return !boxes.empty();
            }));
            ASSERT_EQ(1u, boxes.size());
            EXPECT_EQ("Help error", WindowText(GetDlgItem(boxes[0], 0xFFFF)));
            Keys(app.window, "enter");
            EXPECT_TRUE(WaitUntil([&] { return !IsWindow(boxes[0]); })) << "box closed by Enter";
            break;
        }
        if (c.outcome != ERROR_BOX) {
            EXPECT_TRUE(TopWindows(app.process.dwProcessId, "#32770").empty()) << "no error box";
        }
        ExitByAltX(app);
        EXPECT_TRUE(WaitUntil([] { return TopWindows(0, "MS_WINHELP").empty(); })) << "viewer quit";
        EXPECT_EQ("", ReadFileText(planted)) << "the programs that loaded it";
    }
}

struct Ending : Desk {};

TEST_F(Ending, ExitButtonAltXAndCloseEachEndWithCodeZeroAlsoWhileRunning)
{
    const char *const ways[] = {"button", "alt+x", "caption"};
    for (const char *way : ways) {
        for (int running = 0; running < 2; ++running) {
            SCOPED_TRACE(testing::Message() << way << (running ? " while running" : ""));
            App app;
            ASSERT_TRUE(StartApp(app));
            if (running) {
                Keys(app.window, "alt+s");
                WaitRunning(app);
            }
            if (std::string(way) == "button")
                Click(app.window, app.Control(CMD_EXIT));
            else if (std::string(way) == "caption")
                ClickCloseButton(app.window);
            else
                Keys(app.window, way);
            EXPECT_EQ(0u, WaitForExit(app));
            KillApp(app);
        }
    }
}

struct Robustness : Session {};

TEST_F(Robustness, ABurstOfKeysAndClicksLeavesAConsistentState)
{
    const char *const keys[] = {"enter", "alt+s", "alt+v", "alt+v", "tab", "space", "q",
                                "shift+alt+s", "shift+alt+v", "esc", "ctrl+enter", "1"};
    const int clicks[] = {CMD_START_STOP, CMD_SAVE,    CMD_SAVE,
                          IDC_SAVED_LIST, IDC_ELAPSED, IDC_CURRENT};
    unsigned seed = 12345;
    auto next = [&] { return (seed = seed * 1103515245u + 12345u) >> 16; };
    // Each input first checks that the program runs; if not, the case ends naming every input.
    for (int i = 0; i < 150; ++i) {
        if (next() % 3 == 0)
            Click(app.window, app.Control(clicks[next() % (sizeof clicks / sizeof *clicks)]));
        else
            Keys(app.window, keys[next() % (sizeof keys / sizeof *keys)]);
    }
    Barrier(app);
    EXPECT_EQ(STILL_ACTIVE, WaitForExit(app, 0));
    HWND list = app.Control(IDC_SAVED_LIST);
    for (int i = 0; i < ListCount(list); ++i) {
        std::string entry = ListText(list, i);
        std::string prefix = std::to_string(i + 1) + ": ";
        EXPECT_EQ(prefix, entry.substr(0, prefix.size())) << entry;
        EXPECT_GE(ElapsedMs(entry.substr(prefix.size())), 0) << entry;
    }
    std::string elapsed = Elapsed(app);
    EXPECT_TRUE(elapsed.empty() || ElapsedMs(elapsed) >= 0) << elapsed;
    EXPECT_GE(TimeOfDayMs(WindowText(app.Control(IDC_CURRENT))), 0);
    EXPECT_GT(ListCount(list), 0);
    ExitByAltX(app);
}

// Pictures of the program for its read-me: the main window with a few saved times, and the
// About box over it.
struct Pictures : Session {};

TEST_F(Pictures, MainWindowWithSavedTimesAndTheAboutBox)
{
    Keys(app.window, "alt+s");
    WaitRunning(app);
    for (int i = 0; i < 3; ++i) {
        Pause(350);
        Keys(app.window, "alt+v");
    }
    ASSERT_TRUE(WaitUntil([&] { return ListCount(app.Control(IDC_SAVED_LIST)) == 3; }));
    Keys(app.window, "alt+s");
    ASSERT_TRUE(WaitUntil([&] { return !IsRunning(app); }));
    RECT main;
    GetWindowRect(app.window, &main);
    EXPECT_TRUE(SaveScreenshot(WorkFile("main-window.bmp"), main));
    Keys(app.window, "alt+a");
    HWND box = NULL;
    ASSERT_TRUE(WaitUntil([&] { return (box = AboutBox(app)) != NULL; }));
    RECT about;
    GetWindowRect(box, &about);
    Pause(200); // let it paint
    EXPECT_TRUE(SaveScreenshot(WorkFile("about-box.bmp"), about));
    Keys(app.window, "esc");
    ASSERT_TRUE(WaitUntil([&] { return AboutClosed(app); }));
    ExitByAltX(app);
}

// With "--record FILE" the driver stands in for the browser that the shell would start: it
// writes its console window into console.txt and FILE, whole, into opened.txt in the scratch
// folder, and ends. Started by a program that has no console, it gets a console window of its own,
// which the console's host may make a moment later, and which a case waits to see go.
int main(int argc, char **argv)
{
    if (argc == 3 && std::string(argv[1]) == "--record") {
        HWND console = NULL;
        for (int i = 0; i < 50 && (console = GetConsoleWindow()) == NULL; ++i)
            Sleep(100);
        int count = 0;
        wchar_t **arguments = CommandLineToArgvW(GetCommandLineW(), &count);
        return WriteFileText(WorkFile("console.txt"), std::to_string((UINT_PTR)console)) &&
               WriteFileText(WorkFile("opened.txt"), Utf8(arguments[2])) ? 0 : 1;
    }
    OutputToFile();
    testing::InitGoogleTest(&argc, argv);
    // Under a Wine desktop the exit code goes nowhere: e2e/run.sh reads this, written only by
    // a driver that ran its cases to the end, every repeat of them.
    int failed = RUN_ALL_TESTS();
    bool ran = testing::UnitTest::GetInstance()->test_to_run_count() > 0;
    WriteFileText(WorkFile("verdict.txt"), !failed && ran ? "passed" : "failed");
    return failed;
}
