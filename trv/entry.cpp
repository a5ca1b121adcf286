/* The process entry, in place of the C runtime's start-up code, which would bring thread-local
   storage callbacks and imports that Windows 95 lacks; the program needs none of its services. */
#include "TRV.h"

/* The command line less the program's own name, which comes first, quoted if it holds spaces. */
static LPSTR CommandTail(LPSTR line)
{
    if (*line == '"') {
        for (++line; *line != '\0' && *line != '"'; ++line)
            ;
        if (*line == '"')
            ++line;
    } else {
        while ((unsigned char)*line > ' ')
            ++line;
    }
    while (*line == ' ' || *line == '\t')
        ++line;
    return line;
}

extern "C" void WinMainCRTStartup(void)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    int showCommand =
        (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
    ExitProcess((UINT)WinMain(GetModuleHandleA(NULL), NULL, CommandTail(GetCommandLineA()),
                              showCommand));
}
