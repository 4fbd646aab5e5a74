// Helpers for tests of the region list deployment: the expected payload, folder trees
// and the debugger output of the test process.
#ifndef QUORLEN_TESTS_SUPPORT_DEPLOYSUPPORT_H
#define QUORLEN_TESTS_SUPPORT_DEPLOYSUPPORT_H

#include <windows.h>

#include <string>
#include <vector>

namespace qt {

// The region list as the installed software expects it, built from the tests' own copy
// of the keys: 85 lines "vraxon.option.<key>" with CR LF.
std::string ExpectedRegionList();

// Creates a folder and its parents; true when it exists afterwards.
bool CreateFolders(const std::string& path);
// Removes a file or a folder with everything in it, read-only entries too; true when
// nothing is left.
bool RemoveTree(const std::string& path);

// Collects the lines the process sends to OutputDebugStringA while it exists.
class DebugOutputCapture {
public:
    DebugOutputCapture();
    ~DebugOutputCapture();
    DebugOutputCapture(const DebugOutputCapture&) = delete;
    DebugOutputCapture& operator=(const DebugOutputCapture&) = delete;
    const std::vector<std::string>& Lines() const;

private:
    void* handler_;
};

}  // namespace qt

#endif
