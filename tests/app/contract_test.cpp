// The program against a component written from the component tables alone
// (contract_probe.cpp, its own declarations of every object and operation),
// found in the registry and loaded by the program's own loader: every
// operation the program calls must arrive with the arguments, sizes and
// order the tables give, in either Windows build.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "app/bench_controller.h"
#include "app/component_loader.h"
#include "tests/support/fake_bench_view.h"
#include "tests/support/test_files.h"

namespace {

namespace fs = std::filesystem;

constexpr const char kGroupKey[] = "SOFTWARE\\Tarnwell\\QuorvelContractTest";

// Every component the program asks for is the probe, through the registry;
// the extended plot component is missing, as it usually is.
class ProbeServices final : public StartupServices {
public:
    void* LoadComponent(ComponentHandle& handle, const char* maker, const char*, const char* version, const char* name,
                        const char* exportName) override {
        const char* entry = std::string(name) == "PellumE1" ? "Missing" : "Probe";
        return ::LoadComponent(handle, maker, "QuorvelContractTest", version, entry, exportName);
    }
    void showStartupError(const char* text) override { errors.push_back(text); }
    SystemColours systemColours() override { return {0xC0C0C0, 0x808080}; }
    std::vector<std::string> errors;
};

class ContractTest : public TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        previous_ = fs::current_path();
        fs::current_path(path(""));
        char program[MAX_PATH];
        const DWORD length = GetModuleFileNameA(nullptr, program, sizeof program);
        std::string library(program, length);
        library.erase(library.find_last_of('\\'));
        library += "\\loader-test\\ContractProbe.dll";
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, (std::string(kGroupKey) + "\\1.0\\Probe").c_str(), 0, nullptr, 0,
                                  KEY_WRITE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(key, "path", 0, REG_SZ, reinterpret_cast<const BYTE*>(library.c_str()),
                       static_cast<DWORD>(library.size() + 1));
        RegCloseKey(key);
    }
    void TearDown() override {
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kGroupKey);
        fs::current_path(previous_);
        TempDirTest::TearDown();
    }

    // The calls the probe received since the last look, one a line.
    static std::vector<std::string> received() {
        HMODULE probe = GetModuleHandleA("ContractProbe.dll");
        if (!probe) return {"(probe not loaded)"};
        using LogFunction = const char* (*)();
        auto log = reinterpret_cast<LogFunction>(reinterpret_cast<void*>(GetProcAddress(probe, "ContractProbeLog")));
        if (!log) return {"(no log export)"};
        std::vector<std::string> lines;
        std::istringstream in(log());
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    static void expectCalls(const std::vector<std::string>& got, const std::vector<std::string>& want) {
        for (const std::string& line : want) {
            bool found = false;
            for (const std::string& g : got) found = found || g == line;
            if (!found) {
                std::string all;
                for (const std::string& g : got) all += "\n  " + g;
                ADD_FAILURE() << "missing: " << line << "\nreceived:" << all;
            }
        }
        for (const std::string& g : got) EXPECT_EQ(g.find("unused"), std::string::npos) << g;
    }

    ProbeServices services;
    BenchController app;
    FakeBenchView dialog;

private:
    fs::path previous_;
};

TEST_F(ContractTest, EveryCallArrivesAsTheTablesGiveIt) {
    ASSERT_EQ(app.start(services), StartupError::None);
    EXPECT_TRUE(services.errors.empty());
    expectCalls(received(), {
                                "CreateInterface IADCDevice 0",
                                "device Release",
                                "CreateInterface IPellumE 0",
                                "CreateInterface IADCUtility 0",
                                "utility Open QX420A 1 0 1024",
                                "utility Property 100",
                                "device AddRef",
                                "device GetProperty 17",
                                "device GetProperty 21",
                                "device GetProperty 53",
                            });

    // The plots: set-up, a frame (the oscilloscope, no rate yet), the mouse.
    dialog.plotClient = {0, 0, 900, 720};
    app.bindView(&dialog);
    app.fillControls();
    app.redrawPlots(false);
    expectCalls(received(), {
                                "device Control 0 record 190/1908 0",
                                "plot1 SetProperty 14 0",
                                "plot1 SetProperty 3 'Sec'",
                                "plot1 SetProperty 4 'V  '",
                                "plot1 BeginDraw dc 1 client 900x720 range 0..inf points 1024 0 0",
                                "plot1 EndDraw",
                                "plot2 SetProperty 3 'Sec'",
                            });

    const struct {
        PlotPoint pointer;
        const char* packed;
    } points[] = {{{0, 0}, "00000000"}, {{899, 411}, "019B0383"}, {{5, 700}, "02BC0005"}, {{899, 719}, "02CF0383"}};
    for (const auto& p : points) {
        SCOPED_TRACE(p.packed);
        dialog.pointer = p.pointer;
        app.onPlotMove(1);
        ASSERT_TRUE(app.onPlotButton(kPlotLeftButton, kPlotPress));
        app.onPlotButtonUp(0, false);
        app.onPlotButton(kPlotLeftButton, kPlotDoubleClick);
        app.onPlotButton(kPlotRightButton, kPlotPress);
        const std::string point = p.packed;
        expectCalls(received(), {
                                    "plot1 OnMouseMove 900x720 keys 1 point " + point,
                                    "plot1 OnMouseButton 900x720 button 1 point " + point + " kind 0",
                                    "plot1 OnMouseMove 900x720 keys 0 point " + point,
                                    "plot1 OnMouseButton 900x720 button 1 point " + point + " kind 3",
                                    "plot1 OnMouseButton 900x720 button 2 point " + point + " kind 0",
                                });
    }
    dialog.pointer = {900, 5};
    app.onPlotMove(0);
    expectCalls(received(), {"plot1 OnMouseMove 900x720 keys 0 point FFFFFFFF"});

    // A run: start, one tick with a block, stop.
    dialog.checked[BenchControl::Start] = true;
    app.startAcquisition(0);
    app.onAcquisitionTimer();
    app.stopAcquisition();
    const std::vector<std::string> run = received();
    expectCalls(run, {
                         "device Control 10 record 191/268 0",
                         "utility Start 0 record 100/56 2",
                         "utility Property 11 1",
                         "utility Property 8 0",
                         "device Control 0 record 191/268 0",
                         "utility GetBlock aux 0",
                         "utility ReleaseBlock",
                         "utility Stop",
                     });
    bool blockSize = false;
    for (const std::string& line : run) blockSize = blockSize || line.rfind("utility Property 27 ", 0) == 0;
    EXPECT_TRUE(blockSize) << "the samples per block handed in";

    app.bindView(nullptr);
    app.releaseComponents();
    const std::vector<std::string> released = received();
    const std::vector<std::string> order = {"plot1 Release", "plot2 Release", "device Release", "utility Release"};
    EXPECT_EQ(released, order);
}

}  // namespace
