#include "deploy/RegionListPath.h"

#include <string.h>

#include "deploy/Deploy.h"

int RegionListPath(PathBuffer& path, const char* folder) {
    // The folders come from the platform and the registry: never trust a terminator.
    size_t length = TextLength(folder, kPathSize);
    if (length == kPathSize) {
        memcpy(path, folder, kPathSize - 1);
        path[kPathSize - 1] = '\0';
        return 0;
    }
    memcpy(path, folder, length + 1);
    return AppendPath(path, kRegionListName);
}
