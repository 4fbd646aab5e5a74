// What Windows reads from the executables before it runs any of their code: the
// version resource, through the version API as a file's properties show it, and the
// manifest, as the loader finds and parses it.
// The activation context functions are declared from Windows XP on; the test may use them.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0501
#include <windows.h>

#include <gtest/gtest.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "tests/support/TestSupport.h"

namespace {

struct Executable {
    const char* fileName;
    const char* internalName;
    const char* description;
};

const Executable kExecutables[] = {
    {"Quorlen.exe", "Quorlen", "Region list updater"},
    {"QuorlenUndo.exe", "QuorlenUndo", "Region list undo"},
    {"RestartPrompt.exe", "RestartPrompt", "Restart prompt"},
};

std::string PathOf(const Executable& exe) { return qt::ModuleDir() + "\\..\\" + exe.fileName; }

std::string StringValue(const std::vector<char>& info, const char* name) {
    const std::string path = std::string("\\StringFileInfo\\040904B0\\") + name;
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(info.data(), path.c_str(), &value, &length) || length == 0)
        return "(none)";
    return static_cast<const char*>(value);
}

// The text of the element that begins at the last "<" + tag before `at`, up to its ">".
std::string ElementAround(const std::string& text, size_t at, const char* tag) {
    size_t start = text.rfind(std::string("<") + tag, at);
    if (at == std::string::npos || start == std::string::npos) return std::string();
    size_t end = text.find('>', at);
    return end == std::string::npos ? std::string() : text.substr(start, end + 1 - start);
}

size_t Count(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

}  // namespace

TEST(ExecutableResources, VersionOfTheProject) {
    unsigned major = 0, minor = 0, patch = 0;
    ASSERT_EQ(3, sscanf(QUORLEN_EXPECT_VERSION, "%u.%u.%u", &major, &minor, &patch));
    for (const Executable& exe : kExecutables) {
        SCOPED_TRACE(exe.fileName);
        const std::string path = PathOf(exe);
        DWORD ignored = 0;
        DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
        ASSERT_NE(0u, size) << qt::Win32ErrorText(GetLastError());
        std::vector<char> info(size);
        ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, info.data()));

        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
        ASSERT_EQ(sizeof(VS_FIXEDFILEINFO), length);
        EXPECT_EQ(0xFEEF04BDu, fixed->dwSignature);
        EXPECT_EQ(MAKELONG(minor, major), fixed->dwFileVersionMS);
        EXPECT_EQ(MAKELONG(0, patch), fixed->dwFileVersionLS);
        EXPECT_EQ(fixed->dwFileVersionMS, fixed->dwProductVersionMS);
        EXPECT_EQ(fixed->dwFileVersionLS, fixed->dwProductVersionLS);
        EXPECT_EQ(static_cast<DWORD>(VFT_APP), fixed->dwFileType);

        WORD* translation = nullptr;
        ASSERT_TRUE(VerQueryValueA(info.data(), "\\VarFileInfo\\Translation",
                                   reinterpret_cast<void**>(&translation), &length));
        ASSERT_EQ(4u, length);
        EXPECT_EQ(0x0409, translation[0]);
        EXPECT_EQ(1200, translation[1]);

        EXPECT_EQ("Olvane", StringValue(info, "CompanyName"));
        EXPECT_EQ(exe.description, StringValue(info, "FileDescription"));
        EXPECT_EQ(QUORLEN_EXPECT_VERSION, StringValue(info, "FileVersion"));
        EXPECT_EQ(exe.internalName, StringValue(info, "InternalName"));
        EXPECT_NE(std::string::npos, StringValue(info, "LegalCopyright").find("Olvane"));
        EXPECT_EQ(exe.fileName, StringValue(info, "OriginalFilename"));
        EXPECT_EQ("Quorlen", StringValue(info, "ProductName"));
        EXPECT_EQ(QUORLEN_EXPECT_VERSION, StringValue(info, "ProductVersion"));
    }
}

// Windows XP restarts on an element that declares one namespace twice and refuses a
// trustInfo without a namespace of its own; Wine shows neither, so the text is checked.
TEST(ExecutableResources, ManifestAsInvokerWithCommonControls6) {
    for (const Executable& exe : kExecutables) {
        SCOPED_TRACE(exe.fileName);
        const std::string path = PathOf(exe);
        HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(nullptr, module) << qt::Win32ErrorText(GetLastError());
        std::string manifest;
        // Type 24 (RT_MANIFEST), id 1: the one the loader reads for a process.
        HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
        if (found != nullptr) {
            const char* bytes = static_cast<const char*>(LockResource(LoadResource(module, found)));
            if (bytes != nullptr) manifest.assign(bytes, SizeofResource(module, found));
        }
        FreeLibrary(module);
        ASSERT_FALSE(manifest.empty()) << "no manifest resource";

        const std::string trustInfo = ElementAround(manifest, manifest.find("<trustInfo"), "trustInfo");
        EXPECT_EQ(1u, Count(trustInfo, "xmlns")) << trustInfo;
        EXPECT_NE(std::string::npos, trustInfo.find("xmlns=\"urn:schemas-microsoft-com:asm.v3\""))
            << trustInfo;
        EXPECT_EQ(1u, Count(manifest, "urn:schemas-microsoft-com:asm.v3"));
        EXPECT_EQ(std::string::npos, manifest.find("xmlns:")) << "a prefixed namespace";

        const std::string level = ElementAround(manifest, manifest.find("level="), "requestedExecutionLevel");
        EXPECT_NE(std::string::npos, level.find("level=\"asInvoker\"")) << level;
        EXPECT_NE(std::string::npos, level.find("uiAccess=\"false\"")) << level;

        const std::string controls = ElementAround(
            manifest, manifest.find("name=\"Microsoft.Windows.Common-Controls\""), "assemblyIdentity");
        for (const char* attribute : {"version=\"6.0.0.0\"", "processorArchitecture=\"*\"",
                                      "publicKeyToken=\"6595b64144ccf1df\"", "language=\"*\""})
            EXPECT_NE(std::string::npos, controls.find(attribute)) << attribute << " in " << controls;
        EXPECT_NE(std::string::npos, manifest.find("<dependentAssembly>"));

        // The loader's own parser accepts it and resolves the dependency.
        ACTCTXA context = {};
        context.cbSize = sizeof context;
        context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
        context.lpSource = path.c_str();
        context.lpResourceName = MAKEINTRESOURCEA(1);
        HANDLE made = CreateActCtxA(&context);
        EXPECT_NE(INVALID_HANDLE_VALUE, made) << qt::Win32ErrorText(GetLastError());
        if (made != INVALID_HANDLE_VALUE) ReleaseActCtx(made);
    }
}
