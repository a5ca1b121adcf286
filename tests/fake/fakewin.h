// The recording fake behind tests/fake/windows.h: what a test scripts and what it reads back.
#ifndef FAKEWIN_H
#define FAKEWIN_H

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

using Calls = std::vector<std::string>;

// ExitProcess ends the test's call by throwing this.
struct FakeExit {
    UINT code;
};

struct FakeState {
    // Scripted by the test.
    DWORD tick = 0;           // GetTickCount
    LONGLONG frequency = 0;   // of the performance counter; 0: the machine has none
    LONGLONG count = 0;       // the performance counter
    bool counterFails = false; // QueryPerformanceCounter returns FALSE
    SYSTEMTIME localTime = {};
    bool setTimerFails = false;
    bool iconic = false;
    BOOL winHelpResult = TRUE;
    bool vista = false;            // KERNEL32 exports what Windows Vista and later do
    bool bestFitRefused = false;   // Windows NT 4 knows no WC_NO_BEST_FIT_CHARS
    std::string existingFile;      // GetFileAttributesW finds this one file (UTF-8)
    std::string missingLibrary;    // LoadLibraryA does not find this one
    INT_PTR shellExecuteResult = 42; // above 32: opened
    INT_PTR dialogBoxResult = 0;
    LRESULT defWindowProcResult = 0;
    std::string modulePath = "C:\\Tools\\TRV.EXE"; // as GetModuleFileNameA gives it
    // As Windows NT and later keep it (none: Windows 95 and 98), and its short name as
    // GetShortPathNameW gives it (the long path on a volume that keeps no short names).
    std::u16string wideModulePath, shortModulePath;
    UINT codePage = 1252; // the ANSI code page; 932 (Japanese) has double-byte characters
    bool moduleLoadedByName = true;
    long moduleFileNameResult = -1; // when not -1, the length GetModuleFileNameA returns
    RECT windowRect = {};
    bool createDialogFails = false;
    bool acceleratorsMissing = false;
    size_t listCapacity = (size_t)-1; // past it, LB_ADDSTRING fails with LB_ERRSPACE
    std::vector<MSG> queue; // GetMessageA hands these out, then the quit message
    WPARAM quitCode = 0;

    // Recorded.
    Calls calls; // every platform call of interest, in order
    std::map<int, std::string> texts; // control texts by id
    std::vector<std::string> list;   // the saved-times list box
    int listSelection = LB_ERR;
    int frequencyQueries = 0;
    WNDCLASSA registered = {};
};

extern FakeState Fake;

extern HWND const FAKE_MAIN;
extern HWND const FAKE_LIST;
extern HWND const FAKE_DESKTOP;
extern HWND const FAKE_DIALOG;
extern HINSTANCE const FAKE_INSTANCE;

// Fresh fake state and fresh program state, for the start of every test.
void ResetAll();

// Calls that start with the given prefix, in order.
Calls CallsStartingWith(const std::string &prefix);

// How every fatal failure ends: OPERATION shows two boxes, MESSAGE under the fatal caption, then
// the place of the check in SOURCE (a file's path) under none, and the process ends with code 0.
inline void ExpectFatal(const std::function<void()> &operation, const std::string &message,
                        const std::string &source)
{
    EXPECT_THROW(operation(), FakeExit);
    EXPECT_EQ(2u, CallsStartingWith("MessageBoxA").size());
    ASSERT_GE(Fake.calls.size(), 3u);
    const Calls last(Fake.calls.end() - 3, Fake.calls.end());
    EXPECT_EQ("MessageBoxA null '" + message + "' 'Tarvik 2 - Fatal Error' 0x2030", last[0]);
    EXPECT_EQ(0u, last[1].rfind("MessageBoxA null '" + source + "/", 0)) << last[1];
    EXPECT_EQ("ExitProcess 0", last[2]);
}

#endif
