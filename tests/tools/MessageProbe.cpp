// Shows one string of the program's table in the program's message box, so that a
// script can look at the box under a given system language.
// Usage: MessageProbe ID     shows string ID; the exit code is DisplayMessage's result.
//        MessageProbe --lang prints the system language, the UI language and the ANSI
//                            code page this process sees.
//        MessageProbe --string LANG ID FILE
//                            writes MsgDisplayString(LANG, ID) to FILE (tests run it
//                            from copies whose string blocks they have damaged).
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "ui/Messages.h"

int main(int argc, char** argv) {
    if (argc == 2 && strcmp(argv[1], "--lang") == 0) {
        printf("system 0x%04X user-ui 0x%04X acp %u choice %u\n", GetSystemDefaultLangID(),
               GetUserDefaultUILanguage(), GetACP(), ChooseLanguage());
        return 0;
    }
    if (argc == 5 && strcmp(argv[1], "--string") == 0) {
        char text[1024];
        MsgDisplayString(static_cast<WORD>(strtoul(argv[2], nullptr, 0)),
                         static_cast<UINT>(strtoul(argv[3], nullptr, 0)), text);
        FILE* out = fopen(argv[4], "wb");
        if (!out) return 3;
        fwrite(text, 1, strlen(text), out);
        return fclose(out) == 0 ? 0 : 3;
    }
    if (argc != 2) {
        fprintf(stderr, "usage: MessageProbe ID | --lang | --string LANG ID FILE\n");
        return 2;
    }
    return DisplayMessage(static_cast<UINT>(strtoul(argv[1], nullptr, 10)));
}
