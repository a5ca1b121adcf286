// A DLL that someone left in a downloads folder, laid beside a copy of the program as
// SHELL32.DLL by e2e/run.sh. Loaded, it does no more than note the program that loaded it, a
// line of planted.txt in the driver's scratch folder (TRV_WORK).
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    wchar_t note[MAX_PATH] = L"", program[MAX_PATH] = L"";
    char line[4 * MAX_PATH];
    DWORD written = 0;
    if (reason != DLL_PROCESS_ATTACH ||
        GetEnvironmentVariableW(L"TRV_WORK", note, MAX_PATH - 16) == 0)
        return TRUE;
    lstrcatW(note, L"\\planted.txt");
    GetModuleFileNameW(NULL, program, MAX_PATH);
    int length = WideCharToMultiByte(CP_UTF8, 0, program, -1, line, sizeof line, NULL, NULL);
    line[length - 1] = '\n';
    HANDLE file = CreateFileW(note, FILE_APPEND_DATA, FILE_SHARE_READ, NULL, OPEN_ALWAYS, 0, NULL);
    WriteFile(file, line, (DWORD)length, &written, NULL);
    CloseHandle(file);
    return TRUE;
}
