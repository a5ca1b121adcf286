// A Win32 driver of TRV.EXE and programs like it: start them, find their windows, read them
// through window messages, and give them input as a person would (SendInput keys and clicks).
// Its texts and paths are UTF-8: a path may hold any script.
#ifndef DRIVER_H
#define DRIVER_H

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "../tests/elapsed_text.h"
#include "../trv/resource.h"

// The program's texts by identifier, from its string table: TEXT_OF_IDS_CLASS_NAME, ...
#define TRV_STRING(id, text) const char *const TEXT_OF_##id = text;
#include "../trv/strings.def"
#undef TRV_STRING

const DWORD WAIT_MS = 10000; // every wait is bounded by this unless it says otherwise
const DWORD CASE_MS = 30000; // and every case, all its waits together, by this
// A case that runs on past its bound in a call that never returns is ended by the watchdog,
// this much later (WaitUntil's own report comes first where it can), looking this often.
const DWORD WATCHDOG_GRACE_MS = 3000, WATCHDOG_POLL_MS = 500;

struct App {
    PROCESS_INFORMATION process = {};
    HWND window = NULL;
    HWND Control(int id) const { return GetDlgItem(window, id); }
};

// An environment variable's value, or FALLBACK where it is not set.
std::string Env(const char *name, const char *fallback = "");
// Path of the program to drive (environment variable TRV_EXE) and a scratch folder (TRV_WORK).
inline std::string ProgramPath() { return Env("TRV_EXE", "TRV.EXE"); }
inline std::string WorkFolder() { return Env("TRV_WORK", "."); }
inline std::string WorkFile(const std::string &name) { return WorkFolder() + "\\" + name; }
// Sends the driver's output, stdout and stderr alike, to the file TRV_OUTPUT names, if any:
// under a Wine desktop it may otherwise go to a console window of its own (Wine 10).
void OutputToFile();

// Starts the program and waits for its main window; false when none appears in time.
bool StartApp(App &app, const std::string &exe = ProgramPath(), const std::string &folder = "",
              const std::string &arguments = "");
// Waits for the process to end (then no failure; a timeout of 0 only looks): code or STILL_ACTIVE.
DWORD WaitForExit(const App &app, DWORD timeoutMs = WAIT_MS);
// Ends whatever is left of the program, answering no questions.
void KillApp(App &app);

// Every wait ends the case at once (it throws, naming every input sent in the case) when
// the case has run for CASE_MS, or when a program it started ended without being waited for.
bool WaitUntil(const std::function<bool()> &condition, DWORD timeoutMs = WAIT_MS);
// Lets the programs run (and the driver's own messages be served) for MS.
inline void Pause(DWORD ms) { WaitUntil([] { return false; }, ms); }
// Before the case NAME: no modifier held, Caps Lock off, the pointer parked in the bottom right
// corner, no window of ours left (asked to close); throws, saying what was wrong, if that
// cannot be had. The case's clock, and its watchdog, start here.
void StartCase(const std::string &name);
void CloseOurWindows(); // TRV's, its About box's and the help viewer's

const int TEXT_CHARS = 1024; // room for any text read from a window, or path handed on
std::wstring Wide(const std::string &text);
std::string Utf8(const wchar_t *text);

// A message sent to another process's window and its answer, bounded in time.
LRESULT Ask(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
std::string WindowText(HWND window);
std::string ClassOf(HWND window);
int ListCount(HWND list);
std::string ListText(HWND list, int index);

// The windows within PARENT (null: the top-level ones) that MATCH, in Z order; the first, or null.
std::vector<HWND> FindWindows(HWND parent, const std::function<bool(HWND)> &match);
inline HWND First(const std::vector<HWND> &windows) { return windows.empty() ? NULL : windows[0]; }
// Top-level windows of a process (0: any process) with the given class, visible ones only.
std::vector<HWND> TopWindows(DWORD processId, const char *className);
HWND FocusOf(HWND window); // the control with the keyboard focus in window's thread

// Input goes only to a target ready for it (it, or its active modal box, in front, active,
// focused, enabled and answering); one that is gone or never gets ready ends the case.
// Keys as "alt+s", "shift+alt+s", "enter", "f1", "ctrl+enter", "alt+f4", "esc", "tab".
void Keys(HWND target, const std::string &chord);
// Points are on the screen; WHAT names the click in reports.
void PressAndRelease(HWND target, POINT press, POINT release, const std::string &what);
inline void ClickAt(HWND target, POINT at, const std::string &what)
{
    PressAndRelease(target, at, at, what);
}
POINT CentreOf(HWND control);     // where Click clicks
POINT CloseButtonOf(HWND window); // the caption's close button
void Click(HWND target, HWND control);
inline void ClickCloseButton(HWND window)
{
    ClickAt(window, CloseButtonOf(window), "close button");
}

// A small file's whole text ("" when there is none), and a text written as a whole file.
std::string ReadFileText(const std::string &path);
bool WriteFileText(const std::string &path, const std::string &text);

// Moves another program's window as a person drags it: back only once the screen shows it
// there. The pointer waits meanwhile at POINTER, where the click that follows goes (see there).
void MoveWindowTo(HWND window, int x, int y, POINT pointer);

// A part of the screen as a 24-bit BMP file.
bool SaveScreenshot(const std::string &bmpPath, RECT area);

#endif
