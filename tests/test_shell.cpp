// The main window procedure and start-up: what each message and command does, in order.
#include <gtest/gtest.h>

#include "../trv/TRV.h"
#include "fakewin.h"

static LRESULT Command(WPARAM wParam)
{
    return MainWndProc(FAKE_MAIN, WM_COMMAND, wParam, 0);
}

static void ReadyWindow()
{
    ResetAll();
    strcpy(HelpPath, "C:\\Tools\\TRV.HLP");
    SavedList = NULL; // fetched again at every message
}

TEST(MainWndProc, DispatchesEachCommandOnItsLowWordAfterMovingTheFocus)
{
    struct Case {
        WPARAM wParam;
        LRESULT result;
        Calls calls;
    } cases[] = {
        {CMD_START_STOP, 0, {"SetFocus main", "KillTimer main 1", "SetTimer main 1 1 null"}},
        {0x10000 | CMD_START_STOP, 0,
         {"SetFocus main", "KillTimer main 1", "SetTimer main 1 1 null"}},
        {CMD_SAVE, 0, {"SetFocus main", "MessageBeep 0"}},
        {CMD_HELP, 0,
         {"SetFocus main", "LoadLibraryA KERNEL32.DLL",
          "GetProcAddress KERNEL32.DLL GetTickCount64", "WinHelpA main C:\\Tools\\TRV.HLP 3 0"}},
        {0x10000 | CMD_ABOUT, 0,
         {"SetFocus main", "DialogBoxParamA app DIAL_ABOUT main AboutDlgProc 0"}},
        {CMD_EXIT, 0,
         {"SetFocus main", "WinHelpA main C:\\Tools\\TRV.HLP 2 0", "PostQuitMessage 0"}},
        {130, 0x55, {"SetFocus main", "DefWindowProcA main 0x111 130 0"}},
        {(1u << 16) | IDC_SAVED_LIST, 0x55, // LBN_SETFOCUS from a click into the list
         {"SetFocus main", "DefWindowProcA main 0x111 65673 0"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "wParam 0x" << std::hex << c.wParam);
        ReadyWindow();
        Fake.defWindowProcResult = 0x55;
        EXPECT_EQ(c.result, Command(c.wParam));
        EXPECT_EQ(c.calls, Fake.calls);
        EXPECT_EQ(FAKE_LIST, SavedList);
    }
}

// Where KERNEL32 exports what Windows Vista and later do, whatever version the program is told
// (compatibility mode tells Windows 10's programs 4.0 or 5.1), the page beside the program is
// found and opened through the shell by its wide path, with COM set up first, where there is
// one; every other Windows asks the help engine, by the ANSI path (here the folder's short
// name). Either failing shows one error box, and the clock carries on.
TEST(MainWndProc, HelpGoesToTheEngineOrToThePageAndAFailureShowsOneErrorBox)
{
    const std::string PAGE = "C:\\Michał\\TRV.HTM", HELP = "C:\\MICHA~1\\TRV.HLP";
    const std::string ENGINE = "WinHelpA main " + HELP + " 3 0";
    const Calls FIND = {"LoadLibraryA KERNEL32.DLL",
                        "GetProcAddress KERNEL32.DLL GetFileAttributesW",
                        "GetFileAttributesW " + PAGE};
    const Calls COM = {"LoadLibraryA OLE32.DLL", "GetProcAddress OLE32.DLL CoInitializeEx",
                       "CoInitializeEx null 6"};
    const Calls SHELL = {"LoadLibraryA SHELL32.DLL", "GetProcAddress SHELL32.DLL ShellExecuteW",
                         "ShellExecuteW main open " + PAGE + " null null 1"};
    auto join = [](std::initializer_list<Calls> parts) {
        Calls all;
        for (const Calls &part : parts)
            all.insert(all.end(), part.begin(), part.end());
        return all;
    };
    struct Case {
        const char *name;
        bool vista, page;
        const char *missingLibrary;
        BOOL winHelpResult;
        INT_PTR shellResult;
        Calls calls; // after the feature is looked up
        bool errorBox;
        std::string helpPath = "C:\\MICHA~1\\TRV.HLP";
    } cases[] = {
        {"Windows 95 to XP: the engine, page or not", false, true, "", TRUE, 42, {ENGINE}, false},
        {"the engine fails", false, false, "", FALSE, 42, {ENGINE}, true},
        {"a path given as \\\\?\\, whose '?' marks nothing lost", false, false, "", TRUE, 42,
         {"WinHelpA main \\\\?\\" + HELP + " 3 0"}, false, "\\\\?\\" + HELP},
        {"Vista and later, in any compatibility mode, with the page", true, true, "", TRUE, 33,
         join({FIND, COM, SHELL}), false},
        {"Vista and later without the page", true, false, "", TRUE, 42, join({FIND, {ENGINE}}),
         false},
        {"the shell finds no program for the page", true, true, "", TRUE, 2,
         join({FIND, COM, SHELL}), true},
        {"the shell answers 32", true, true, "", TRUE, 32, join({FIND, COM, SHELL}), true},
        {"no SHELL32", true, true, "SHELL32.DLL", TRUE, 42,
         join({FIND, COM, {"LoadLibraryA SHELL32.DLL"}}), true},
        {"no OLE32: the shell is asked all the same", true, true, "OLE32.DLL", TRUE, 42,
         join({FIND, {"LoadLibraryA OLE32.DLL"}, SHELL}), false},
        {"a lost folder (no short name, a script the code page lacks), Vista", true, true, "",
         TRUE, 42, join({FIND, COM, SHELL}), false, "C:\\Micha?\\TRV.HLP"},
        {"a lost folder without the page: the engine is not handed it", true, false, "", TRUE, 42,
         FIND, true, "C:\\Micha?\\TRV.HLP"},
        {"a lost folder, Windows 2000 and XP", false, true, "", TRUE, 42, {}, true,
         "C:\\Micha?\\TRV.HLP"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ReadyWindow();
        strcpy(HelpPath, c.helpPath.c_str());
        const std::u16string program = u"C:\\Michał\\TRV.EXE";
        *std::copy(program.begin(), program.end(), ModulePathW) = u'\0';
        Running = 1;
        StartTick = 77;
        Fake.vista = c.vista;
        Fake.existingFile = c.page ? PAGE : "";
        Fake.missingLibrary = c.missingLibrary;
        Fake.winHelpResult = c.winHelpResult;
        Fake.shellExecuteResult = c.shellResult;
        EXPECT_EQ(0, Command(CMD_HELP));
        Calls calls = join({{"SetFocus main", "LoadLibraryA KERNEL32.DLL",
                             "GetProcAddress KERNEL32.DLL GetTickCount64"},
                            c.calls});
        if (c.errorBox)
            calls.push_back("MessageBoxA main 'Help error' 'Tarvik 2 - Error' 0x2030");
        EXPECT_EQ(calls, Fake.calls);
        EXPECT_EQ(1, Running);
        EXPECT_EQ(77u, StartTick);
    }
}

TEST(MainWndProc, AboutFailureIsFatal)
{
    ReadyWindow();
    Fake.dialogBoxResult = -1;
    ExpectFatal([] { Command(CMD_ABOUT); }, "Cannot create dialog box", "trv/TRV.cpp");
}

TEST(MainWndProc, ClosingTellsTheHelpEngineToQuitOnceAndEndsTheLoop)
{
    ReadyWindow();
    EXPECT_EQ(0, MainWndProc(FAKE_MAIN, WM_DESTROY, 0, 0));
    EXPECT_EQ((Calls{"WinHelpA main C:\\Tools\\TRV.HLP 2 0", "PostQuitMessage 0"}), Fake.calls);
}

TEST(MainWndProc, TimerTicksGoToTheClockAndOtherMessagesToDefWindowProc)
{
    ReadyWindow();
    Fake.localTime.wHour = 7;
    EXPECT_EQ(0, MainWndProc(FAKE_MAIN, WM_TIMER, 99, 0)); // whatever the timer id
    EXPECT_EQ("07:00:00.00", Fake.texts[IDC_CURRENT]);
    Fake.defWindowProcResult = 42;
    EXPECT_EQ(42, MainWndProc(FAKE_MAIN, 0x0200, 3, 4));
    EXPECT_EQ("DefWindowProcA main 0x200 3 4", Fake.calls.back());
}

static void RunWinMain(int expectedResult)
{
    MainWindow = NULL;
    SavedList = NULL;
    EXPECT_EQ(expectedResult, WinMain(FAKE_INSTANCE, NULL, (LPSTR) "--ignored /x", 7));
}

// First of all, where KERNEL32 can be told, DLLs are searched for in the system folder alone.
TEST(WinMain, RegistersCreatesShowsLoadsAcceleratorsThenRunsTheLoop)
{
    for (bool dllDirectories : {false, true}) {
        SCOPED_TRACE(dllDirectories ? "SetDefaultDllDirectories" : "no SetDefaultDllDirectories");
        ResetAll();
        Fake.vista = dllDirectories;
        Fake.modulePath = "C:\\Apps\\TRV.EXE";
        Fake.queue = {MSG{FAKE_MAIN, WM_TIMER, 0, 0, 0, {0, 0}},
                      MSG{FAKE_MAIN, 0x0105, 1, 0, 0, {0, 0}}, // matches an accelerator
                      MSG{FAKE_LIST, WM_LBUTTONUP, 0, 0, 0, {0, 0}}};
        RunWinMain(0);
        Calls calls = {
            "LoadLibraryA KERNEL32.DLL", "GetProcAddress KERNEL32.DLL SetDefaultDllDirectories",
            "LoadIconA app ICONX", "LoadCursorA null 32512", "RegisterClassA Tarvik 2",
            "CreateDialogParamA app DIAL_MAIN null null 0",
            "DefWindowProcA main 0x81 0 0", // the first message names the window
            "GetModuleHandleA TRV.EXE", "GetModuleFileNameA module 1025",
            "LoadLibraryA KERNEL32.DLL", // Windows NT's wide path: none here
            "GetProcAddress KERNEL32.DLL GetModuleFileNameW", "LoadLibraryA KERNEL32.DLL",
            "GetProcAddress KERNEL32.DLL GetShortPathNameW", "SetTimer main 1 100 null",
            "ShowWindow main 7", "LoadAcceleratorsA app ACCELS",
            "GetMessageA null 0 0", "TranslateAcceleratorA main table 0x113",
            "TranslateMessage 0x113", "DispatchMessageA 0x113",
            "GetMessageA null 0 0", "TranslateAcceleratorA main table 0x105",
            "GetMessageA null 0 0", "TranslateAcceleratorA main table 0x202",
            "TranslateMessage 0x202", "DispatchMessageA 0x202",
            "SetFocus main", // a press that ended without a command leaves no focus behind
            "GetMessageA null 0 0",
        };
        if (dllDirectories)
            calls.insert(calls.begin() + 2, "SetDefaultDllDirectories 0x800");
        EXPECT_EQ(calls, Fake.calls);
        EXPECT_EQ(FAKE_MAIN, MainWindow);
        EXPECT_STREQ("C:\\Apps\\TRV.HLP", HelpPath);
        const WNDCLASSA &wc = Fake.registered;
        EXPECT_EQ((UINT)(CS_HREDRAW | CS_VREDRAW), wc.style);
        EXPECT_EQ(MainWndProc, wc.lpfnWndProc);
        EXPECT_EQ(0, wc.cbClsExtra);
        EXPECT_EQ(30, wc.cbWndExtra);
        EXPECT_EQ(FAKE_INSTANCE, wc.hInstance);
        EXPECT_EQ(NULL, wc.lpszMenuName);
        // The dialog face colour, in which the texts and buttons paint themselves in every scheme.
        EXPECT_EQ((HBRUSH)(COLOR_BTNFACE + 1), wc.hbrBackground);
    }
}

TEST(WinMain, ReturnsTheQuitMessagesCode)
{
    ResetAll();
    Fake.quitCode = 3;
    RunWinMain(3);
}

TEST(WinMain, StartUpFailuresAreFatal)
{
    struct Case {
        const char *name;
        bool createFails, acceleratorsMissing;
        const char *message;
    } cases[] = {
        {"no window", true, false, "Cannot create dialog box"},
        {"no accelerators", false, true, "Cannot load accelerators"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ResetAll();
        Fake.createDialogFails = c.createFails;
        Fake.acceleratorsMissing = c.acceleratorsMissing;
        MainWindow = NULL;
        ExpectFatal([] { WinMain(FAKE_INSTANCE, NULL, NULL, 1); }, c.message, "trv/TRV.cpp");
        EXPECT_TRUE(CallsStartingWith("GetMessageA").empty());
    }
}
