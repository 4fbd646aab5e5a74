// Region list deployment: stages the payload that the executable carries in the temp
// folder, replaces the installed list when it is the superseded one (last written on
// 2004-12-03, UTC), and removes the staged copy.
#ifndef QUORLEN_DEPLOY_DEPLOY_H
#define QUORLEN_DEPLOY_DEPLOY_H

#include "base/Text.h"

// The file name of the region list, staged and installed alike.
constexpr const char kRegionListName[] = "vexo_regions.txt";

// The program-wide temp folder: filled once by the update run (GetTempPathA), read here.
extern PathBuffer g_tempFolder;

// Writes the payload resource to g_tempFolder\vexo_regions.txt: 1 when all of it was
// written, else 0.
int ExtractTXT();

// Deletes folder\vexo_regions.txt: nonzero when deleted, else 0.
int DeleteFilesFromTemp(const char* folder);

// Appends vexo_regions.txt to dataFolder in place and replaces that file with the staged
// one when its date matches, falling back to a reboot-time move of a copy beside it
// when the copy fails.
// *replaced: 1 as soon as the date matched; 0 when the file is absent or its date
// differs; untouched when a path cannot be formed. Result: 1 when the file was
// overwritten or its replacement scheduled, else 0.
int FileReplace(PathBuffer& dataFolder, int* replaced);

// True only when the file's last-write date is 2004-12-03 in UTC.
bool VersionCheck(const char* path);

// Copies the file named by source to vexo_regions.txt.new in target's folder (the
// current folder when target has no backslash), overwriting a file of that name; on
// success source holds the new copy's path and the result is 1, else 0.
int CopyFileToSameDrive(const char* target, PathBuffer& source);

#endif
