#include "log/LogConfig.h"

#include <windows.h>
#include <mbstring.h>

#include "base/Files.h"
#include "base/Text.h"

namespace {

// Section blocks as WritePrivateProfileSectionA takes them: NUL after every line and
// one more at the end (the literal's own terminator).
const char kSignatureLines[] = "PROJECT=Kestrin\0MANUFACTURER=Olvane\0";
const char kModuleLines[] = "Olvane_Quorlenlog_Zindra=1\0DEFAULT=1\0";
const char kLevelLines[] =
    "LOG_DISABLED=0\0LOG_ERROR=1\0LOG_WARNING=2\0LOG_MAINTRACE=4\0LOG_DETAILEDTRACE=8\0";

bool IsValidSignature(const char* value) {
    const unsigned char* v = reinterpret_cast<const unsigned char*>(value);
    return _mbscmp(v, reinterpret_cast<const unsigned char*>("Kestrin")) == 0 ||
           _mbscmp(v, reinterpret_cast<const unsigned char*>("Olvane")) == 0;
}

}  // namespace

int CheckLogConfig() {
    char signature[260];
    GetPrivateProfileStringA("Signature", "PROJECT", "MANUFACTURER", signature,
                             sizeof signature, kLogConfigFile);
    if (IsValidSignature(signature)) return 1;

    // The zeros behind the formatted line close the one-line block.
    char sizeLines[260] = {};
    FormatText(sizeLines, sizeof sizeLines - 1, "FILESIZE=%d", kDefaultMaxLogSize);

    // Seeding through a hard link would write another file: such a file is not ours.
    PathBuffer path;
    const UINT length = GetWindowsDirectoryA(path, kPathSize);
    if (length == 0 || length >= kPathSize || !AppendPath(path, kLogConfigFile) ||
        HasOtherNames(path))
        return 0;

    if (!WritePrivateProfileSectionA("Signature", kSignatureLines, kLogConfigFile)) return 0;
    if (!WritePrivateProfileSectionA("Modules", kModuleLines, kLogConfigFile)) return 0;
    if (!WritePrivateProfileSectionA("LogLevels", kLevelLines, kLogConfigFile)) return 0;
    if (!WritePrivateProfileSectionA("LogFileSize", sizeLines, kLogConfigFile)) return 0;
    return 1;
}
