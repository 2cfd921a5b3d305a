#include <gtest/gtest.h>

#include "host_services/module_instance.h"
#include "plugin/dll_main.h"
#include "host_services/host_kind.h"
#include "tests/emulated_system/platform_testing.h"
#include "tests/test_support.h"

TEST(HostKind, ExecutableNamesAreComparedExactly) {
    const struct {
        const char* path;
        int32_t kind;
    } cases[] = {
        {"C:\\Program Files\\Adobe\\Photoshp.exe", HostKindPhotoshop},
        {"C:\\Program Files\\Adobe\\Photoshop.exe", HostKindPhotoshop},
        {"C:\\Program Files\\Adobe\\photoshop.exe", HostKindOther},
        {"C:\\Program Files\\Adobe\\PHOTOSHOP.EXE", HostKindOther},
        {"D:\\Fireworks\\Fireworks.exe", HostKindFireworks},
        {"Z:\\ae\\AfterFX.exe", HostKindAfterEffects},
        {"Z:\\ae\\afterfx.exe", HostKindOther},
        {"Z:\\pr\\premiere.exe", HostKindPremiere},
        {"Z:\\pr\\Premiere.exe", HostKindOther},
        {"Photoshop.exe", HostKindPhotoshop},           // no folder at all
        {"C:\\Photoshop.exe\\host.exe", HostKindOther},  // only the part after the last backslash counts
        {"C:\\tools\\Photoshop.exe.bak", HostKindOther},
        {"", HostKindOther},
    };
    for (const auto& c : cases) EXPECT_EQ(HostKindFromPath(c.path), c.kind) << c.path;
    EXPECT_EQ(HostKindFromPath(nullptr), HostKindOther);
}

TEST(HostKind, DllMainDetectsTheHostAndKeepsTheModuleAtProcessAttachOnly) {
    ScopedHostKind restore(HostKindOther);
    HINSTANCE savedModule = ModuleInstance;
    auto* module = reinterpret_cast<HINSTANCE>(uintptr_t(0x1000));

    PlatformSetExecutablePath("C:\\Adobe\\AfterFX.exe");
    EXPECT_EQ(DLLMain(module, DLL_PROCESS_ATTACH, nullptr), TRUE);
    EXPECT_EQ(HostKind, HostKindAfterEffects);
    EXPECT_EQ(ModuleInstance, module);

    // Worker threads attach and detach while the library runs: nothing changes.
    PlatformSetExecutablePath("C:\\Adobe\\premiere.exe");
    EXPECT_EQ(DLLMain(reinterpret_cast<HINSTANCE>(uintptr_t(0x2000)), DLL_THREAD_ATTACH, nullptr), TRUE);
    EXPECT_EQ(DLLMain(module, DLL_THREAD_DETACH, nullptr), TRUE);
    EXPECT_EQ(DLLMain(module, DLL_PROCESS_DETACH, nullptr), TRUE);
    EXPECT_EQ(HostKind, HostKindAfterEffects);
    EXPECT_EQ(ModuleInstance, module);

    PlatformSetExecutablePath("C:\\Adobe\\photoshop.exe");
    EXPECT_EQ(DLLMain(module, DLL_PROCESS_ATTACH, nullptr), TRUE);
    EXPECT_EQ(HostKind, HostKindOther);

    // A path longer than the 256-character buffer cannot be trusted to end in the real name.
    PlatformSetExecutablePath("C:\\" + std::string(300, 'x') + "\\Photoshop.exe");
    DLLMain(module, DLL_PROCESS_ATTACH, nullptr);
    EXPECT_EQ(HostKind, HostKindOther);

    PlatformSetExecutablePath("/usr/bin/glyra_tests");
    ModuleInstance = savedModule;
}
