// The support library: error boxes, the fatal check, the module-relative path, dialog helpers.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "../trv/TRV.h"
#include "fakewin.h"

#include <rapidcheck/gtest.h>

// Any text into any buffer: as much of the text as leaves room for the terminator, its length
// returned, and nothing written past the buffer.
RC_GTEST_PROP(FormatText, AlwaysTerminatesAndNeverWritesPastTheBuffer, ())
{
    const std::string text = *rc::gen::container<std::string>(rc::gen::inRange('\x01', '\x7f'));
    const size_t capacity = *rc::gen::inRange<size_t>(1, 90);
    std::string buffer(capacity + 1, '#');
    int length = FormatText(&buffer[0], capacity, "%s", text.c_str());
    RC_ASSERT(buffer.c_str() == text.substr(0, capacity - 1));
    RC_ASSERT((size_t)length == std::min(text.size(), capacity - 1));
    RC_ASSERT(buffer[capacity] == '#');
}

TEST(StringMessageBox, TakesCaptionByKindAndTextById)
{
    struct Case {
        int kind;
        const char *caption;
    } cases[] = {{MSG_ERROR, "Tarvik 2 - Error"}, {MSG_FATAL, "Tarvik 2 - Fatal Error"},
                 {7, "Tarvik 2 - Error"}, {-1, "Tarvik 2 - Error"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.kind);
        ResetAll();
        StringMessageBox(FAKE_MAIN, IDS_HELP_ERROR, c.kind);
        EXPECT_EQ(Calls{"MessageBoxA main 'Help error' '" + std::string(c.caption) + "' 0x2030"},
                  Fake.calls);
    }
}

TEST(FatalCheck, KillsTheTimerShowsTwoBoxesInOrderAndExitsWithZero)
{
    ResetAll();
    EXPECT_THROW(FatalCheck(1, IDS_NO_ACCELERATORS, "trv/TRV.cpp", 123), FakeExit);
    EXPECT_EQ((Calls{"KillTimer main 1",
                     "MessageBoxA null 'Cannot load accelerators' 'Tarvik 2 - Fatal Error' 0x2030",
                     "MessageBoxA null 'trv/TRV.cpp/123' '' 0x2040", "ExitProcess 0"}),
              Fake.calls);
}

TEST(FatalCheck, ALongSourcePathKeepsItsTailAndTheLine)
{
    ResetAll();
    const std::string path = std::string(100, 'd') + "/clock.cpp";
    const std::string tail = path.substr(path.size() + 11 - (STRING_CCH - 1)); // 80 in all
    ExpectFatal([&] { FatalCheck(1, IDS_NO_TIMER, path.c_str(), 2147483647L); },
                "Timer not available", tail);
    EXPECT_EQ("MessageBoxA null '" + tail + "/2147483647' '' 0x2040", Fake.calls[2]);
}

// Windows 95 and 98 keep the path in ANSI. Windows NT and later keep it in Unicode, whose
// characters the ANSI code page (here 1252) may lack: GetModuleFileNameA then gives a '?' or a
// look-alike for each, and the path is spelled from the folder's short name instead, which a
// row scripts where the program must ask for it (the long path: a volume without short names).
TEST(ModuleFilePath, PutsTheFileBesideTheProgram)
{
    struct Case {
        std::string module; // as GetModuleFileNameA gives it
        bool loadedByName;
        std::string path;
        UINT codePage = 1252;
        std::u16string wide = u"", shortName = u""; // as NT keeps it, and its short name
        bool nt4 = false; // which refuses to spell without look-alikes
    } cases[] = {
        {"C:\\Tools\\TRV.EXE", true, "C:\\Tools\\TRV.HLP"},
        {"C:\\TRV.EXE", true, "C:\\TRV.HLP"},
        {"D:\\Apps\\Watch\\STOPWTCH.EXE", false, "D:\\Apps\\Watch\\TRV.HLP"}, // renamed
        {"C:\\" + std::string(1012, 'a') + "\\TRV.EXE", true,
         "C:\\" + std::string(1012, 'a') + "\\TRV.HLP"}, // 1,023 characters in all
        // Code page 932: C:\表\ソフト.EXE, where 表 and ソ both end in the backslash's byte.
        {"C:\\\x95\x5C\\\x83\x5C\x83\x74\x83\x67.EXE", false, "C:\\\x95\x5C\\TRV.HLP", 932},
        {"C:\\M\xFCller\\TRV.EXE", true, "C:\\M\xFCller\\TRV.HLP", 1252, u"C:\\Müller\\TRV.EXE"},
        {"C:\\????\\TRV.EXE", true, "C:\\D0A2~1\\TRV.HLP", 1252, u"C:\\Тест\\TRV.EXE",
         u"C:\\D0A2~1\\TRV.EXE"},
        {"C:\\Michal\\TRV.EXE", false, "C:\\MICHA~1\\TRV.HLP", 1252, u"C:\\Michał\\TRV.EXE",
         u"C:\\MICHA~1\\TRV.EXE"}, // a look-alike
        {"C:\\Michal\\TRV.EXE", true, "C:\\Micha?\\TRV.HLP", 1252, u"C:\\Michał\\TRV.EXE",
         u"C:\\Michał\\TRV.EXE"},
        {"C:\\????\\TRV.EXE", true, "C:\\D0A2~1\\TRV.HLP", 1252, u"C:\\Тест\\TRV.EXE",
         u"C:\\D0A2~1\\TRV.EXE", true}, // NT 4: a short name in plain ASCII as it stands
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.module.substr(0, 40));
        ResetAll();
        Fake.modulePath = c.module;
        Fake.moduleLoadedByName = c.loadedByName;
        Fake.codePage = c.codePage;
        Fake.wideModulePath = c.wide;
        Fake.shortModulePath = c.shortName;
        Fake.bestFitRefused = c.nt4;
        char out[PATH_CCH];
        ModuleFilePath("TRV.HLP", out);
        EXPECT_EQ(c.path, out);
        EXPECT_EQ(c.wide, ModulePathW);
        const std::string module = c.loadedByName ? "module" : "null";
        Calls calls = {
            "GetModuleHandleA TRV.EXE", "GetModuleFileNameA " + module + " 1025",
            "LoadLibraryA KERNEL32.DLL", "GetProcAddress KERNEL32.DLL GetModuleFileNameW",
            "LoadLibraryA KERNEL32.DLL", "GetProcAddress KERNEL32.DLL GetShortPathNameW"};
        if (!c.wide.empty())
            calls.push_back("GetModuleFileNameW " + module + " 1025");
        if (!c.shortName.empty())
            calls.push_back("GetShortPathNameW 1025");
        EXPECT_EQ(calls, Fake.calls);
    }
}

TEST(ModuleFilePath, FailuresAreFatalWithTheFatalCaption)
{
    struct Case {
        const char *name;
        std::string module;
        long reported; // -1: the path's own length
    } cases[] = {
        {"no backslash", "TRV.EXE", -1},
        {"1,024 characters", "C:\\" + std::string(1013, 'a') + "\\TRV.EXE", -1},
        {"no path reported", "C:\\Tools\\TRV.EXE", 0},
        {"buffer filled", "C:\\" + std::string(1100, 'a') + "\\TRV.EXE", -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ResetAll();
        Fake.modulePath = c.module;
        Fake.moduleFileNameResult = c.reported;
        char out[PATH_CCH] = "untouched";
        ExpectFatal([&] { ModuleFilePath("TRV.HLP", out); }, "Tarvik 2 - Fatal Error",
                    "KORLIB/KORLIB.cpp");
        EXPECT_STREQ("untouched", out);
    }
}

TEST(CenterWindow, CentresOnTheDesktopAndPullsBackAtTheEdges)
{
    struct Case {
        LONG width, height; // right - left, bottom - top
        int x, y;
    } cases[] = {
        {300, 200, 170, 140}, {639, 100, 0, 190}, {640, 100, -1, 190},
        {641, 100, 0, 190},   {100, 480, 270, -1}, {100, 481, 270, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        ResetAll();
        Fake.windowRect = {500, 400, 500 + c.width, 400 + c.height};
        CenterWindow(FAKE_DIALOG);
        char expected[80];
        snprintf(expected, sizeof expected, "SetWindowPos dialog null %d %d -1 -1 0x5", c.x, c.y);
        EXPECT_EQ(Calls{expected}, Fake.calls);
    }
}

TEST(AboutDlgProc, CentresOnOpeningAndClosesOnlyOnCommandTwo)
{
    struct Case {
        UINT message;
        WPARAM wParam;
        INT_PTR result;
        const char *call; // the one recorded call, or ""
    } cases[] = {
        {WM_INITDIALOG, 0, TRUE, "SetWindowPos dialog null 170 140 -1 -1 0x5"},
        {WM_COMMAND, 2, TRUE, "EndDialog dialog 0"},
        {WM_COMMAND, 0x10002, FALSE, ""}, // control 2 with a notification code
        {WM_COMMAND, 1, FALSE, ""},
        {WM_TIMER, 2, FALSE, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.message << " " << c.wParam);
        ResetAll();
        Fake.windowRect = {0, 0, 300, 200};
        EXPECT_EQ(c.result, AboutDlgProc(FAKE_DIALOG, c.message, c.wParam, 0));
        EXPECT_EQ(*c.call ? Calls{c.call} : Calls{}, Fake.calls);
    }
}
