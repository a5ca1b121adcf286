// The end-to-end driver's apparatus: start TRV.EXE, find its windows, read them through
// window messages, and give it input as a person would (SendInput keys and clicks).
#ifndef E2E_APP_H
#define E2E_APP_H

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

const DWORD WAIT_MS = 10000; // every wait is bounded by this unless it says otherwise

struct App {
    PROCESS_INFORMATION process = {};
    HWND window = NULL;
    HWND Control(int id) const { return GetDlgItem(window, id); }
};

// Path of the program under test (environment variable TRV_EXE) and a scratch folder (TRV_WORK).
std::string ProgramPath();
std::string WorkFolder();

// Starts the program and waits for its main window; false when none appears in time.
bool StartApp(App &app, const std::string &exe = ProgramPath(), const std::string &folder = "",
              const std::string &arguments = "");
// Waits for the process to end by itself; returns its exit code, or STILL_ACTIVE.
DWORD WaitForExit(const App &app, DWORD timeoutMs = WAIT_MS);
// Ends whatever is left of the program, answering no questions.
void KillApp(App &app);

bool WaitUntil(const std::function<bool()> &condition, DWORD timeoutMs = WAIT_MS);

std::string WindowText(HWND window);
std::string ClassOf(HWND window);
// An elapsed text, "D hh:mm:ss.hh" exactly, as milliseconds; -1 when malformed.
long long ElapsedMs(const std::string &text);
int ListCount(HWND list);
std::string ListText(HWND list, int index);
int ListSelection(HWND list);
int ListTop(HWND list);

// Top-level windows of a process (0: any process) with the given class, visible ones only.
std::vector<HWND> TopWindows(DWORD processId, const char *className);
HWND FocusOf(HWND window); // the control with the keyboard focus in window's thread

// Keys as "alt+s", "shift+alt+s", "enter", "f1", "ctrl+enter", "alt+f4", "esc", "tab".
void Keys(HWND target, const std::string &chord);
void ClickAt(HWND target, int screenX, int screenY);
void Click(HWND target, HWND control);
void ClickCloseButton(HWND window); // the caption's close button

// A part of the screen as a 24-bit BMP file.
bool SaveScreenshot(const std::string &bmpPath, RECT area);

#endif
