// The built TRV.EXE as a Windows 95 or NT 4 loader sees it: a 32-bit GUI image of subsystem
// and system version 4.0, without what only newer loaders handle, importing only functions
// that those systems have. A failing check prints what the image holds.
#include <gtest/gtest.h>

#include <stdio.h>

#include <algorithm>
#include <map>
#include <regex>
#include <set>

#include "peres.h"

namespace {

// Every entry is a function of Windows 95's own KERNEL32 and USER32 (or GDI32, of which the
// program needs nothing): a clean Windows 95 has no C runtime DLL. Before adding one, check
// that it is there. The list admits no allocator, so the program allocates nothing: malloc
// brings the C runtime DLL, new and std::string its start-up code too (the link fails), and
// HeapAlloc, LocalAlloc and GlobalAlloc are not on it.
const std::map<std::string, std::set<std::string>> WINDOWS_95_IMPORTS = {
    {"KERNEL32.DLL",
     {"ExitProcess", "GetCommandLineA", "GetLocalTime", "GetModuleFileNameA",
      "GetModuleHandleA", "GetProcAddress", "GetStartupInfoA", "GetTickCount", "LoadLibraryA",
      "MultiByteToWideChar", "QueryPerformanceCounter", "QueryPerformanceFrequency",
      "WideCharToMultiByte", "lstrcpynA", "lstrlenA"}},
    {"USER32.DLL",
     {"CharNextA", "CreateDialogParamA", "DefWindowProcA", "DialogBoxParamA", "DispatchMessageA",
      "EndDialog", "FlashWindow", "GetDesktopWindow", "GetDlgItem", "GetMessageA",
      "GetSystemMetrics", "GetWindowRect", "IsIconic", "KillTimer", "LoadAcceleratorsA",
      "LoadCursorA", "LoadIconA", "LoadStringA", "MessageBeep", "MessageBoxA",
      "PostQuitMessage", "RegisterClassA", "SendMessageA", "SetDlgItemTextA", "SetFocus",
      "SetTimer", "SetWindowPos", "ShowWindow", "TranslateAcceleratorA", "TranslateMessage",
      "WinHelpA", "wvsprintfA"}},
};

const uint16_t I386 = 0x14C, PE32 = 0x10B, GUI = 2;
const uint16_t EXECUTABLE_IMAGE = 0x0002, MACHINE_32BIT = 0x0100, DLL = 0x2000;

std::string Upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), ::toupper);
    return text;
}

class Binary : public ::testing::Test {
protected:
    PeImage image;

    void SetUp() override { ASSERT_EQ("", ReadPeImage(TRV_EXE_FILE, image)); }

    // What the image holds, as binutils read it: headers, directories, imports, resources.
    void TearDown() override
    {
        if (HasFailure()) {
            EXPECT_EQ(0, system(TRV_OBJDUMP " -p -h " TRV_EXE_FILE));
        }
    }
};

TEST_F(Binary, IsA32BitGuiImageForWindows4)
{
    EXPECT_EQ(I386, image.machine);
    EXPECT_EQ(PE32, image.magic);
    const uint16_t required = EXECUTABLE_IMAGE | MACHINE_32BIT;
    EXPECT_EQ(required, image.characteristics & required);
    EXPECT_EQ(0, image.characteristics & DLL);
    EXPECT_EQ(GUI, image.subsystem);
    EXPECT_EQ(4, image.subsystemMajor);
    EXPECT_EQ(0, image.subsystemMinor);
    EXPECT_EQ(4, image.osMajor);
    EXPECT_EQ(0, image.osMinor);
}

TEST_F(Binary, NeedsNothingThatOnlyNewerLoadersHandle)
{
    // Windows 95 maps images by pages from 4 MB up, and knows none of these directories.
    EXPECT_EQ(0x400000u, image.imageBase);
    EXPECT_EQ(0x1000u, image.sectionAlignment);
    EXPECT_EQ(0x200u, image.fileAlignment);
    EXPECT_EQ(0u, image.win32Version);
    const struct {
        int directory;
        const char *what;
    } absent[] = {{PE_DIR_TLS, "thread-local storage and its callbacks"},
                  {PE_DIR_LOAD_CONFIG, "load configuration"},
                  {PE_DIR_BOUND_IMPORT, "bound imports"},
                  {PE_DIR_DELAY_IMPORT, "delay-loaded imports"},
                  {PE_DIR_CLR, "a .NET header"}};
    for (const auto &a : absent) {
        SCOPED_TRACE(a.what);
        EXPECT_EQ(0u, image.directoryRva[a.directory]);
        EXPECT_EQ(0u, image.directorySize[a.directory]);
    }
    for (const PeSection &s : image.sections) {
        SCOPED_TRACE(s.name);
        EXPECT_NE(".tls", s.name);
        EXPECT_EQ(0u, s.rawOffset % image.fileAlignment);
        EXPECT_EQ(0u, s.rva % image.sectionAlignment);
    }
}

TEST_F(Binary, ImportsOnlyWhatWindows95Provides)
{
    std::set<std::string> dlls;
    for (const PeImport &import : image.imports) {
        SCOPED_TRACE(import.dll);
        auto allowed = WINDOWS_95_IMPORTS.find(Upper(import.dll));
        ASSERT_NE(WINDOWS_95_IMPORTS.end(), allowed) << "a DLL outside the list";
        EXPECT_TRUE(dlls.insert(allowed->first).second) << "imported twice";
        for (const std::string &function : import.functions)
            EXPECT_EQ(1u, allowed->second.count(function)) << function << " is not on the list";
    }
    // The program shows windows and reads the clock: both.
    EXPECT_EQ(WINDOWS_95_IMPORTS.size(), dlls.size());
}

// Windows 95 runs on a 386: nothing of the 486 (bswap, cmpxchg, xadd, cache and TLB control),
// the Pentium (cpuid, rdtsc, cmpxchg8b, model-specific registers), the Pentium Pro (cmov,
// fcmov, fcomi, the long nop, rdpmc) or later (sysenter, MMX and SSE registers) may stand in
// the code: those processors fault on them.
TEST(Code, HoldsNoInstructionNewerThanThe386)
{
    const std::regex line(R"(^ *([0-9a-f]+):\t([^<\n]*))");
    const std::regex newer(
        R"(\b(cmov\w+|fcmov\w+|fu?comip?|bswap\w*|cmpxchg\w*|xadd\w*|invlpg|invd|wbinvd|cpuid|)"
        R"(rdtsc|rdpmc|rdmsr|wrmsr|sysenter|sysexit|nop[wl])\b|%x?mm[0-9])");
    std::string command = std::string(TRV_OBJDUMP) + " -d --no-show-raw-insn " + TRV_EXE_FILE;
    FILE *disassembly = popen(command.c_str(), "r");
    ASSERT_NE(nullptr, disassembly) << command;
    int instructions = 0;
    std::string refused;
    char text[512];
    while (fgets(text, sizeof text, disassembly)) {
        std::cmatch found;
        if (!std::regex_search(text, found, line))
            continue;
        ++instructions;
        if (std::regex_search(found[2].first, found[2].second, newer))
            refused += "  0x" + found[1].str() + ": " + found[2].str() + "\n";
    }
    EXPECT_EQ(0, pclose(disassembly)) << command;
    EXPECT_GT(instructions, 500) << "the disassembly of the program's code";
    EXPECT_EQ("", refused) << "instructions that a 386 lacks";
}

} // namespace
