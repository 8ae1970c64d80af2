// The component loader: key and file name composition and the ending of the
// registry's path value everywhere, and on Windows the registry look-up, the
// value type and length checks and the holder rules, with component libraries
// of the tests' own (loader_probe.cpp).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/component_loader.h"

#if defined(_WIN32)
#include <windows.h>

#include "tests/app/loader_probe.h"
#endif

namespace {

TEST(ComponentKey, SkipsEmptyPartsAndRefusesWhatDoesNotFit) {
    struct Case {
        const char* name;
        const char* maker;
        const char* group;
        const char* version;
        const char* component;
        bool fits;
        const char* want;
    };
    const std::string long255(255 - std::string("SOFTWARE\\").size(), 'k');
    const std::string long256 = long255 + "k";
    const Case cases[] = {
        {"all parts", "Tarnwell", "Drivers", "1.0", "QX420A", true, "SOFTWARE\\Tarnwell\\Drivers\\1.0\\QX420A"},
        {"no name", "Tarnwell", "Base library", "1.0", nullptr, true, "SOFTWARE\\Tarnwell\\Base library\\1.0"},
        {"empty parts skipped", "", "Drivers", "", "", true, "SOFTWARE\\Drivers"},
        {"255 characters fit", long255.c_str(), "", "", "", true, nullptr},
        {"256 characters do not", long256.c_str(), "", "", "", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        char out[kComponentPathChars];
        EXPECT_EQ(composeComponentKey(out, sizeof out, c.maker, c.group, c.version, c.component), c.fits);
        if (c.want) {
            EXPECT_STREQ(out, c.want);
        }
    }
}

TEST(ComponentKey, LocalLibraryNameAppendsDll) {
    char out[kComponentPathChars];
    EXPECT_TRUE(composeLocalLibraryName(out, sizeof out, "C:\\bench", "QX420A"));
    EXPECT_STREQ(out, "C:\\bench\\QX420A.DLL");
    EXPECT_TRUE(composeLocalLibraryName(out, sizeof out, "C:\\bench", ""));
    EXPECT_STREQ(out, "C:\\bench.DLL");
    const std::string longName(300, 'n');
    EXPECT_FALSE(composeLocalLibraryName(out, sizeof out, "C:\\bench", longName.c_str()));
    EXPECT_STREQ(out, "");
}

// What a registry read leaves in the loader's buffer: `bytes` filled, the rest
// of the buffer whatever it held before (here 'X', never a terminator).
TEST(LibraryPath, EndsAtItsTerminatorOrGetsOneWhenItFits) {
    struct Case {
        const char* name;
        std::string value;  // the bytes the read filled, terminators included
        bool accepted;
        std::string want;
    };
    const std::string chars255(255, 'p');
    const std::string chars256(256, 'p');
    const std::string nul(1, '\0');
    const Case cases[] = {
        {"terminated", "C:\\bench\\QX420A.dll" + nul, true, "C:\\bench\\QX420A.dll"},
        {"stored without terminator", "C:\\bench\\QX420A.dll", true, "C:\\bench\\QX420A.dll"},
        {"255 characters and terminator fill the buffer", chars255 + nul, true, chars255},
        {"255 characters without terminator", chars255, true, chars255},
        {"256 characters without terminator", chars256, false, ""},
        {"ends at the first terminator", "a.dll" + nul + "b.dll" + nul, true, "a.dll"},
        {"terminator only", nul, false, ""},
        {"nothing read", "", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_LE(c.value.size(), kComponentPathChars);
        char path[kComponentPathChars];
        std::memset(path, 'X', sizeof path);
        std::memcpy(path, c.value.data(), c.value.size());
        EXPECT_EQ(terminateLibraryPath(path, sizeof path, c.value.size()), c.accepted);
        ASSERT_NE(std::memchr(path, 0, sizeof path), nullptr) << "left without a terminator";
        EXPECT_EQ(std::string(path), c.want);
    }
}

TEST(LibraryPath, ByteCountBeyondTheBufferIsRefused) {
    char path[8];
    std::memcpy(path, "abcdefgh", sizeof path);
    EXPECT_FALSE(terminateLibraryPath(path, sizeof path, sizeof path + 1));
    EXPECT_STREQ(path, "");
    EXPECT_FALSE(terminateLibraryPath(path, 0, 0));
}

#if defined(_WIN32)

// Components registered for the test under a group of its own.
class RegistryLoaderTest : public ::testing::Test {
protected:
    static constexpr const char* kGroupKey = "SOFTWARE\\Tarnwell\\QuorvelLoaderTest";
    static constexpr const char* kGroupUnderSoftware = "Tarnwell\\QuorvelLoaderTest";

    // The group goes from both registry views (32-bit programs on 64-bit
    // Windows have their own, under SOFTWARE\WOW6432Node).
    void TearDown() override {
        for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
            HKEY software = nullptr;
            if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_ALL_ACCESS | view, &software) == ERROR_SUCCESS) {
                RegDeleteTreeA(software, kGroupUnderSoftware);
                RegCloseKey(software);
            }
        }
    }

    // Stores `value` as the component's "path", with its terminator or, as a
    // value may be stored, without one; in the program's own registry view or
    // in the one that `view` names.
    static void registerValue(const char* name, DWORD type, const std::string& value, bool terminated = true,
                              REGSAM view = 0) {
        const std::string keyPath = std::string(kGroupKey) + "\\1.0\\" + name;
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, nullptr, 0, KEY_WRITE | view, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        const LONG status = RegSetValueExA(key, "path", 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                                           static_cast<DWORD>(value.size() + (terminated ? 1 : 0)));
        RegCloseKey(key);
        ASSERT_EQ(status, ERROR_SUCCESS) << name;
    }

    static void* load(ComponentHandle& handle, const char* name, const char* exportName = "GetTickCount") {
        return LoadComponent(handle, "Tarnwell", "QuorvelLoaderTest", "1.0", name, exportName);
    }

    static void* loadFactory(ComponentHandle& handle, const char* name) {
        return load(handle, name, kFactoryExportName);
    }

    // The folder of the tests' own component libraries, beside the program.
    static std::string probeFolder() {
        char program[MAX_PATH];
        const DWORD length = GetModuleFileNameA(nullptr, program, sizeof program);
        std::string folder(program, length);
        folder.erase(folder.find_last_of('\\'));
        return folder + "\\loader-test";
    }

    // The module that holds `address`, or null (also for a null address).
    static HMODULE moduleOf(void* address) {
        HMODULE module = nullptr;
        if (address &&
            !GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                static_cast<const char*>(address), &module)) {
            module = nullptr;
        }
        return module;
    }

    // Which probe build a loaded factory belongs to; "" when there is none,
    // "unmapped" when its library has been unloaded (it is not called then).
    static std::string identity(void* factory) {
        if (!factory) return "";
        if (!moduleOf(factory)) return "unmapped";
        auto* probe = static_cast<ILoaderProbe*>(createComponentInterface(factory, kLoaderProbeInterface));
        return probe ? probe->Identity() : "";
    }
};

TEST_F(RegistryLoaderTest, ReadsThePathValueAsStored) {
    registerValue("Kernel", REG_SZ, "kernel32.dll");
    registerValue("Expandable", REG_EXPAND_SZ, "kernel32.dll");
    registerValue("Binary", REG_BINARY, "kernel32.dll");
    registerValue("Missing", REG_SZ, "no-such-library.dll");

    struct Case {
        const char* name;
        bool loads;
    };
    const Case cases[] = {
        {"Kernel", true}, {"Expandable", false}, {"Binary", false}, {"Missing", false}, {"Unregistered", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ComponentHandle handle;
        void* address = load(handle, c.name);
        EXPECT_EQ(address != nullptr, c.loads) << "got " << address;
        EXPECT_EQ(handle.exportAddress, address);
        EXPECT_EQ(handle.module != nullptr, c.loads);
    }
}

// A 32-bit program finds the components in the 32-bit registry view (on
// 64-bit Windows under SOFTWARE\WOW6432Node, where register.cmd of the 32-bit
// build writes them with /reg:32), a 64-bit program in the 64-bit view.
TEST_F(RegistryLoaderTest, ReadsTheRegistryViewOfItsOwnWidth) {
    const bool is32 = sizeof(void*) == 4;
    registerValue("In32BitView", REG_SZ, "kernel32.dll", true, KEY_WOW64_32KEY);
    registerValue("In64BitView", REG_SZ, "kernel32.dll", true, KEY_WOW64_64KEY);

    ComponentHandle own;
    EXPECT_NE(load(own, is32 ? "In32BitView" : "In64BitView"), nullptr);
    ComponentHandle other;
    EXPECT_EQ(load(other, is32 ? "In64BitView" : "In32BitView"), nullptr);
}

TEST_F(RegistryLoaderTest, MissingExportKeepsTheLibraryInTheHolderUntilReused) {
    registerValue("Version", REG_SZ, "version.dll");
    registerValue("Kernel", REG_SZ, "kernel32.dll");
    ASSERT_EQ(GetModuleHandleA("version.dll"), nullptr) << "the test needs version.dll unloaded";

    ComponentHandle handle;
    EXPECT_EQ(load(handle, "Version", "NoSuchExport"), nullptr);
    EXPECT_NE(handle.module, nullptr);
    EXPECT_NE(GetModuleHandleA("version.dll"), nullptr);

    EXPECT_NE(load(handle, "Kernel"), nullptr);
    EXPECT_EQ(GetModuleHandleA("version.dll"), nullptr) << "the earlier library was not unloaded";
}

// The folder holds LoaderBare, the probe without extension, and beside it
// LoaderBare.DLL, the decoy. The loader passes the stored name on as it is;
// the system's loader adds ".dll" to a name without extension unless the name
// ends in a dot, the platform's way of naming a file that has none.
TEST_F(RegistryLoaderTest, NameWithoutExtensionIsPassedOnUnchanged) {
    const std::string bare = probeFolder() + "\\LoaderBare";
    struct Case {
        const char* name;
        std::string path;
        const char* want;  // the identity of the library loaded
    };
    const Case cases[] = {
        // With ".DLL" appended the name would be LoaderBare..DLL: no such file.
        {"FinalDot", bare + ".", "probe"},
        {"NoDot", bare, "decoy"},
        {"Named", bare + ".DLL", "decoy"},
    };
    for (const Case& c : cases) registerValue(c.name, REG_SZ, c.path);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        ComponentHandle handle;
        void* factory = loadFactory(handle, c.name);
        EXPECT_NE(factory, nullptr) << "error " << GetLastError();
        EXPECT_EQ(identity(factory), c.want);
        EXPECT_EQ(moduleOf(factory), static_cast<HMODULE>(handle.module));
    }
}

// LoaderShared.dll is loaded by this test alone, so whether it is mapped
// shows whether some holder still holds it.
TEST_F(RegistryLoaderTest, TwoHoldersShareOneMappedLibraryUntilBothAreReused) {
    const char* const shared = "LoaderShared.dll";
    registerValue("Shared", REG_SZ, probeFolder() + "\\" + shared);
    registerValue("Kernel", REG_SZ, "kernel32.dll");
    ASSERT_EQ(GetModuleHandleA(shared), nullptr) << "the test needs " << shared << " unloaded";

    ComponentHandle first, second;
    void* firstFactory = loadFactory(first, "Shared");
    void* secondFactory = loadFactory(second, "Shared");
    ASSERT_NE(firstFactory, nullptr);
    EXPECT_EQ(secondFactory, firstFactory);
    EXPECT_EQ(second.module, first.module);
    const HMODULE mapped = GetModuleHandleA(shared);
    EXPECT_EQ(static_cast<HMODULE>(first.module), mapped) << "the held library is not mapped";
    EXPECT_EQ(moduleOf(firstFactory), mapped);
    EXPECT_EQ(identity(firstFactory), "probe");

    // Reused for a component that is not there: the library it held goes
    // first, but the other holder keeps it mapped.
    EXPECT_EQ(loadFactory(first, "Unregistered"), nullptr);
    EXPECT_EQ(first.module, nullptr);
    EXPECT_EQ(GetModuleHandleA(shared), mapped) << "unloaded while a holder holds it";
    EXPECT_EQ(identity(secondFactory), "probe");

    // Reused for another library: the last hold goes.
    EXPECT_NE(load(second, "Kernel"), nullptr);
    EXPECT_EQ(GetModuleHandleA(shared), nullptr) << "still mapped when no holder holds it";
}

// Every value names LoaderProbe.dll, padded to its length with "." folder
// segments (<folder>\.\.\...\LoaderProbe.dll), so only the length and the
// terminator decide: a name of 255 characters and its terminator fill the
// loader's buffer of 256 bytes.
TEST_F(RegistryLoaderTest, PathValueOfUpTo255CharactersLoads) {
    const std::string folder = probeFolder();
    const std::string file = "LoaderProbe.dll";
    // One separator is doubled when the padding is odd; every spelling
    // resolves to the same file.
    auto padded = [&](size_t length) {
        std::string path = folder + "\\";
        size_t gap = length - path.size() - file.size();
        if (gap % 2) {
            path += "\\";
            --gap;
        }
        for (; gap > 0; gap -= 2) path += ".\\";
        return path + file;
    };
    ASSERT_LT(folder.size() + 2 + file.size(), 200u) << "the test folder's path is too long: " << folder;

    struct Case {
        const char* name;
        std::string path;
        bool terminated;
        bool loads;
    };
    const Case cases[] = {
        {"Plain", folder + "\\" + file, true, true},
        {"PlainUnterminated", folder + "\\" + file, false, true},
        {"Padded255", padded(255), true, true},
        {"Padded255Unterminated", padded(255), false, true},
        {"Padded256Unterminated", padded(256), false, false},
        {"Padded256", padded(256), true, false},
    };
    for (const Case& c : cases) registerValue(c.name, REG_SZ, c.path, c.terminated);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NE(GetFileAttributesA(c.path.c_str()), INVALID_FILE_ATTRIBUTES) << c.path << " does not name the probe";
        ComponentHandle handle;
        void* factory = loadFactory(handle, c.name);
        EXPECT_EQ(factory != nullptr, c.loads) << c.path.size() << " characters: " << c.path;
        EXPECT_EQ(handle.module != nullptr, c.loads);
        EXPECT_EQ(identity(factory), c.loads ? "probe" : "");
    }
}

TEST_F(RegistryLoaderTest, OverlongNamesAndPathsGiveNoComponent) {
    const std::string longName(300, 'n');
    ComponentHandle handle;
    EXPECT_EQ(load(handle, longName.c_str()), nullptr);

    const std::string longPath = "C:\\" + std::string(300, 'p') + ".dll";
    registerValue("LongPath", REG_SZ, longPath);
    EXPECT_EQ(load(handle, "LongPath"), nullptr);
    EXPECT_EQ(handle.module, nullptr);
}

TEST_F(RegistryLoaderTest, NoExportNameLoadsNothing) {
    registerValue("Kernel", REG_SZ, "kernel32.dll");
    ComponentHandle handle;
    EXPECT_EQ(load(handle, "Kernel", nullptr), nullptr);
    EXPECT_EQ(handle.module, nullptr);
}

#endif

}  // namespace
