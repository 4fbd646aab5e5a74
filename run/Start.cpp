// The entry point of both executables, and their operator new and delete. It stands in
// for the C++ runtime's start-up, which is built for the Pentium Pro (its command-line
// scan holds a cmov) and would bring the runtime's library code with it; the PCs that
// Windows 2000 and XP run on begin at the Pentium.
//
// Of what that start-up does, WinMain needs only its four arguments. The rest is left
// out on purpose: the product has no global constructors or destructors (no atexit list
// to run), no thread-local data, no data imported without dllimport (the link refuses
// auto-import, so no pseudo-relocation is ever needed), and reads no argc/argv or
// environment copy. What it keeps is msvcrt's multibyte table (for _ismbblead, _mbslen,
// _mbsicmp) in the system's ANSI code page.
#include <windows.h>
#include <mbctype.h>

#include <new>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandTail, int show);

namespace {

// The command line after the program's name and the blanks behind it. The name ends at
// the first blank or control character outside double quotes. No trail byte of the
// double-byte ANSI code pages is as low as a quote or a blank, so neither is ever the
// second half of a character.
char* CommandTail(char* line) {
    bool quoted = false;
    for (; *line != '\0'; ++line) {
        if (*line == '"') quoted = !quoted;
        else if (static_cast<unsigned char>(*line) <= ' ' && !quoted) break;
    }
    while (*line != '\0' && static_cast<unsigned char>(*line) <= ' ') ++line;
    return line;
}

}  // namespace

extern "C" void QuorlenStart() {
    // Wine's msvcrt fills the table when it loads; msvcrt.dll may leave it to the argv
    // set-up that the runtime's start-up asked for, which no longer runs. Setting it here
    // makes the double-byte comparisons independent of which.
    _setmbcp(_MB_CP_ANSI);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow
                                                                   : SW_SHOWDEFAULT;
    ExitProcess(static_cast<UINT>(
        WinMain(GetModuleHandleA(nullptr), nullptr, CommandTail(GetCommandLineA()), show)));
}

// Over the process heap. Only the nothrow forms exist: a failed allocation is a null
// pointer that the caller checks, never an exception. The tag object is ours too: the
// runtime's copy would bring its new-handler code along.
namespace std {
const nothrow_t nothrow{};
}  // namespace std

void* operator new(size_t size, const std::nothrow_t&) noexcept {
    return HeapAlloc(GetProcessHeap(), 0, size);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    return HeapAlloc(GetProcessHeap(), 0, size);
}
void operator delete(void* block) noexcept {
    if (block != nullptr) HeapFree(GetProcessHeap(), 0, block);
}
void operator delete(void* block, size_t) noexcept { operator delete(block); }
void operator delete[](void* block) noexcept { operator delete(block); }
void operator delete[](void* block, size_t) noexcept { operator delete(block); }
