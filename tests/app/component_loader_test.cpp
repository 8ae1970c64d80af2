// The component loader: key and file name composition everywhere, and on
// Windows the registry look-up, the value type checks and the holder rules.
#include <gtest/gtest.h>

#include <string>

#include "app/component_loader.h"

#if defined(_WIN32)
#include <windows.h>
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
        {"all parts", "Tarnwell", "Drivers", "1.0", "QX420A", true,
         "SOFTWARE\\Tarnwell\\Drivers\\1.0\\QX420A"},
        {"no name", "Tarnwell", "Base library", "1.0", nullptr, true,
         "SOFTWARE\\Tarnwell\\Base library\\1.0"},
        {"empty parts skipped", "", "Drivers", "", "", true, "SOFTWARE\\Drivers"},
        {"255 characters fit", long255.c_str(), "", "", "", true, nullptr},
        {"256 characters do not", long256.c_str(), "", "", "", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        char out[kComponentPathChars];
        EXPECT_EQ(composeComponentKey(out, sizeof out, c.maker, c.group, c.version, c.component),
                  c.fits);
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

#if defined(_WIN32)

// Components registered for the test under a group of its own.
class RegistryLoaderTest : public ::testing::Test {
protected:
    static constexpr const char* kGroupKey = "SOFTWARE\\Tarnwell\\QuorvelLoaderTest";

    void TearDown() override { RegDeleteTreeA(HKEY_LOCAL_MACHINE, kGroupKey); }

    static void registerValue(const char* name, DWORD type, const std::string& value) {
        const std::string keyPath = std::string(kGroupKey) + "\\1.0\\" + name;
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, nullptr, 0,
                                  KEY_WRITE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(key, "path", 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1));
        RegCloseKey(key);
    }

    static void* load(ComponentHandle& handle, const char* name,
                      const char* exportName = "GetTickCount") {
        return LoadComponent(handle, "Tarnwell", "QuorvelLoaderTest", "1.0", name, exportName);
    }
};

TEST_F(RegistryLoaderTest, ReadsThePathValueAsStored) {
    registerValue("Kernel", REG_SZ, "kernel32.dll");
    registerValue("NoExtension", REG_SZ, "kernel32");
    registerValue("Expandable", REG_EXPAND_SZ, "kernel32.dll");
    registerValue("Binary", REG_BINARY, "kernel32.dll");
    registerValue("Missing", REG_SZ, "no-such-library.dll");

    struct Case {
        const char* name;
        bool loads;
    };
    const Case cases[] = {
        {"Kernel", true},      {"NoExtension", true}, {"Expandable", false},
        {"Binary", false},     {"Missing", false},    {"Unregistered", false},
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

TEST_F(RegistryLoaderTest, TwoHoldersShareOneMappedLibrary) {
    registerValue("Kernel", REG_SZ, "kernel32.dll");
    ComponentHandle first, second;
    ASSERT_NE(load(first, "Kernel"), nullptr);
    ASSERT_NE(load(second, "Kernel"), nullptr);
    EXPECT_EQ(first.module, second.module);
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
