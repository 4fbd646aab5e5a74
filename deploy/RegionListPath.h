// Forms the path of the region list inside a folder, for staging, replacing and
// removing it.
#ifndef QUORLEN_DEPLOY_REGIONLISTPATH_H
#define QUORLEN_DEPLOY_REGIONLISTPATH_H

#include "base/Text.h"

// Copies folder into path and appends vexo_regions.txt with a separator where needed.
// 0 when folder has no terminator within a path buffer (path then holds its first
// 1023 characters) or the result would not fit MAX_PATH (path then holds folder).
int RegionListPath(PathBuffer& path, const char* folder);

#endif
