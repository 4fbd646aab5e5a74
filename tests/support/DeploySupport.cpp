#include "tests/support/DeploySupport.h"

#include "tests/support/TestSupport.h"

namespace qt {

std::string ExpectedRegionList() {
    static const char* const keys[] = {
        "africa", "albania", "andorra", "argentina", "australia", "austria", "belgium",
        "bosnia", "bolivia", "brazil", "bulgaria", "canada", "caribbean", "ca", "chile",
        "china", "columbia", "commonwealth", "croatia", "cyprus", "czech", "denmark",
        "ecuador", "estonia", "egypt", "finland", "france", "germany", "greece", "hongkong",
        "hungary", "india", "indonesia", "iceland", "ireland", "isreal", "italy", "japan",
        "korea", "latvia", "liechtenstein", "lithuania", "luxembourg", "macedonia",
        "malaysia", "moldova", "monaco", "mongolia", "morocco", "mexico", "middleeast",
        "netherlands", "zealand", "norway", "paraguay", "pakistan", "peru", "philippines",
        "poland", "portugal", "puertorico", "romania", "russia", "sanmarino", "saudi",
        "singapore", "slovak", "slovenia", "southafrica", "southasia", "spain", "sweden",
        "switzerland", "taiwan", "thailand", "turkey", "uae", "ukraine", "uk", "us",
        "uraguay", "yugoslavia", "venezuela", "vietnam", "malta"};
    std::string list;
    for (const char* key : keys) list += std::string("vraxon.option.") + key + "\r\n";
    return list;
}

bool CreateFolders(const std::string& path) {
    size_t slash = path.find_last_of('\\');
    if (slash != std::string::npos && slash > 2) CreateFolders(path.substr(0, slash));
    CreateDirectoryA(path.c_str(), nullptr);
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool RemoveTree(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        WIN32_FIND_DATAA entry;
        HANDLE search = FindFirstFileA((path + "\\*").c_str(), &entry);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                std::string name = entry.cFileName;
                if (name != "." && name != "..") RemoveTree(path + "\\" + name);
            } while (FindNextFileA(search, &entry));
            FindClose(search);
        }
    }
    return RemoveFile(path);
}

// OutputDebugStringA raises DBG_PRINTEXCEPTION_C with the length and the text before
// it falls back to its own handler; a vectored handler sees it first.
static std::vector<std::string> g_debugLines;

static LONG CALLBACK CollectDebugOutput(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    if (record->ExceptionCode == DBG_PRINTEXCEPTION_C && record->NumberParameters >= 2) {
        const char* text = reinterpret_cast<const char*>(record->ExceptionInformation[1]);
        size_t length = static_cast<size_t>(record->ExceptionInformation[0]);
        if (text != nullptr && length > 0) g_debugLines.emplace_back(text, length - 1);
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

DebugOutputCapture::DebugOutputCapture() {
    g_debugLines.clear();
    handler_ = AddVectoredExceptionHandler(1, CollectDebugOutput);
}

DebugOutputCapture::~DebugOutputCapture() {
    if (handler_) RemoveVectoredExceptionHandler(handler_);
}

const std::vector<std::string>& DebugOutputCapture::Lines() const { return g_debugLines; }

}  // namespace qt
