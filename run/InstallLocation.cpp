#include "run/InstallLocation.h"

#include <windows.h>

#include <string.h>

#include "base/Handles.h"
#include "log/Logger.h"

namespace {

const char kInstallKey[] = "SOFTWARE\\Tessaly\\Lumenfold\\Parmel\\Strings";
const char kInstallValue[] = "Installdir";

const char kOpenFailed[] = "RegOpenKeyEx Failed for Olvane_REG_INSTALL_KEY";
const char kQueryFailed[] = "Failed to Query the Olvane_REG_VALUE_INSTALLDIR";
const char kQueried[] = "Queried  the Insatlldir value successfully ";

// Reads the value's bytes, whatever its type, and terminates them. A value that fills
// the whole buffer without a NUL of its own leaves no room for one and counts as too
// long, like a value the registry refuses with ERROR_MORE_DATA.
bool QueryValue(HKEY key, PathBuffer& buffer) {
    DWORD size = sizeof buffer;
    LONG status = RegQueryValueExA(key, kInstallValue, nullptr, nullptr,
                                   reinterpret_cast<BYTE*>(buffer), &size);
    if (status != ERROR_SUCCESS || size > sizeof buffer) return false;
    if (size < sizeof buffer) {
        buffer[size] = '\0';
        return true;
    }
    return memchr(buffer, '\0', sizeof buffer) != nullptr;
}

}  // namespace

int GetInstalledPath(PathBuffer& buffer) {
    const char tag[] = "Quorlen::GetInstalledPath";
    LOG_MAIN_TRACE("%s %s", tag, "- Entering");

    buffer[0] = '\0';
    int result = 0;
    const char* outcome = kOpenFailed;
    ScopedKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kInstallKey, 0, KEY_READ, key.Receive()) ==
        ERROR_SUCCESS) {
        if (QueryValue(key.Get(), buffer)) {
            outcome = kQueried;
            result = 1;
        } else {
            outcome = kQueryFailed;
        }
    }
    if (!result) buffer[0] = '\0';
    LOG_ERROR("%s%s", tag, outcome);
    key.Close();

    LOG_MAIN_TRACE("%s %s", tag, "- Exiting");
    return result;
}

int KeepInstallDirectory(PathBuffer& install) {
    if (const char* comma = strrchr(install, ',')) {
        PathBuffer value;
        CopyText(value, comma + 1);
        CopyText(install, value);
    }
    const char* dir = install;
    const bool drive = ((dir[0] >= 'A' && dir[0] <= 'Z') || (dir[0] >= 'a' && dir[0] <= 'z')) &&
                       dir[1] == ':' && (dir[2] == '\\' || dir[2] == '/');
    const bool unc = dir[0] == '\\' && dir[1] == '\\';
    return drive || unc ? 1 : 0;
}
