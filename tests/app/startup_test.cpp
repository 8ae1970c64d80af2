// Start-up sequence of the application object with fake components: which
// components are asked for in which order, the exact error texts, what is
// released on every path, and the values derived from the board.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/bench_controller.h"
#include "platform/text_cp1251.h"
#include "tests/support/test_files.h"

namespace fs = std::filesystem;

namespace {

// Everything the fakes see, in order: "load Drivers/QX420A", "release device"...
using EventLog = std::vector<std::string>;

template <typename Interface>
class FakeObject : public Interface {
public:
    FakeObject(EventLog& log, std::string name) : log_(log), name_(std::move(name)) {}
    // The name the object's calls are logged under from now on.
    void rename(std::string name) { name_ = std::move(name); }
    int32_t QV_CALL AddRef() override {
        log_.push_back("addref " + name_);
        return ++references_;
    }
    int32_t QV_CALL Release() override {
        log_.push_back("release " + name_);
        return --references_;
    }

protected:
    EventLog& log_;
    std::string name_;
    int32_t references_ = 1;
};

struct BoardBehaviour {
    int32_t openResult = 1;
    int32_t deviceResult = 1;
    bool handOutDevice = true;
    int32_t statusResult = 1;
    uint32_t statusWord = 1;
    bool giveCapabilities = true;
    BoardCapabilities capabilities{0, 0x300, 0x3000004};
    int32_t fullScaleResult = 1;
    float fullScale = 10.0f;
};

class FakeDevice final : public FakeObject<IADCDevice> {
public:
    FakeDevice(EventLog& log, const BoardBehaviour& board, std::string name)
        : FakeObject(log, std::move(name)), board_(board) {}
    int32_t QV_CALL Control(int32_t, void*, int32_t) override { return 1; }
    int32_t QV_CALL GetProperty(int32_t code, void* out) override {
        switch (code) {
        case kDevicePropertyStatus:
            *static_cast<uint32_t*>(out) = board_.statusWord;
            return board_.statusResult;
        case kDevicePropertyCapabilities:
            if (board_.giveCapabilities) {
                *static_cast<const BoardCapabilities**>(out) = &board_.capabilities;
            }
            return 1;
        case kDevicePropertyFullScale:
            *static_cast<float*>(out) = board_.fullScale;
            return board_.fullScaleResult;
        }
        return 0;
    }

private:
    const BoardBehaviour& board_;
};

class FakeUtility final : public FakeObject<IADCUtility> {
public:
    FakeUtility(EventLog& log, const BoardBehaviour& board)
        : FakeObject(log, "utility"), board_(board), device_(log, board, "device") {}
    int32_t QV_CALL Open(const char* deviceName, int32_t base, int32_t reserved, int32_t blockHint) override {
        log_.push_back("open " + std::string(deviceName) + " " + std::to_string(base) + " " + std::to_string(reserved) +
                       " " + std::to_string(blockHint));
        return board_.openResult;
    }
    int32_t QV_CALL Start(AcquisitionParameters*, int32_t) override { return 1; }
    int32_t QV_CALL GetBlock(const int16_t**, int32_t*) override { return 0; }
    int32_t QV_CALL ReleaseBlock() override { return 1; }
    int32_t QV_CALL Property(int32_t code, void* value) override {
        if (code == kUtilityPropertyDevice && board_.handOutDevice) {
            *static_cast<IADCDevice**>(value) = &device_;
        }
        return board_.deviceResult;
    }
    int32_t QV_CALL Stop() override { return 1; }

private:
    const BoardBehaviour& board_;
    FakeDevice device_;
};

class FakePlot final : public FakeObject<IPellumE> {
public:
    using FakeObject::FakeObject;
    int32_t QV_CALL SetStyle(const PlotStyle*) override { return 1; }
    int32_t QV_CALL SetProperty(int32_t, const void*) override { return 1; }
    int32_t QV_CALL BeginDraw(void*, const PlotRect*, const PlotRange*, int32_t, int32_t, int32_t) override {
        return 1;
    }
    int32_t QV_CALL Reserved6() override { return 0; }
    int32_t QV_CALL Reserved7() override { return 0; }
    int32_t QV_CALL DrawCurve(const float*, int32_t, int32_t, int32_t, const uint32_t*, int32_t, const MarkerRecord*,
                              int32_t) override {
        return 1;
    }
    int32_t QV_CALL EndDraw() override { return 1; }
    int32_t QV_CALL OnMouseMove(const PlotRect*, int32_t, int32_t) override { return 0; }
    int32_t QV_CALL OnMouseButton(const PlotRect*, int32_t, int32_t, int32_t) override { return 0; }
};

// A component library's factory: hands out `instances` objects of its
// interface, then nothing.
class FakeFactory final : public IComponentFactory {
public:
    FakeFactory(EventLog& log, const BoardBehaviour& board, std::string interfaceName, std::string objectName,
                int instances)
        : log_(log),
          board_(board),
          interfaceName_(std::move(interfaceName)),
          objectName_(std::move(objectName)),
          instances_(instances) {}

    void* QV_CALL CreateInterface(const char* name, int32_t reserved) override {
        EXPECT_EQ(reserved, 0);
        if (interfaceName_ != name || instances_ == 0) return nullptr;
        --instances_;
        if (interfaceName_ == "IADCDevice") {
            return keep(std::make_unique<FakeDevice>(log_, board_, objectName_));
        }
        if (interfaceName_ == "IADCUtility") {
            return keep(std::make_unique<FakeUtility>(log_, board_));
        }
        return keep(std::make_unique<FakePlot>(log_, objectName_));
    }

private:
    template <typename T>
    T* keep(std::unique_ptr<T> object) {
        T* raw = object.get();
        objects_.push_back(std::shared_ptr<void>(std::move(object)));
        return raw;
    }

    EventLog& log_;
    const BoardBehaviour& board_;
    std::string interfaceName_;
    std::string objectName_;
    int instances_;
    std::vector<std::shared_ptr<void>> objects_;
};

class FakeServices final : public StartupServices {
public:
    EventLog log;
    BoardBehaviour board;
    std::map<std::string, std::unique_ptr<FakeFactory>> libraries;  // "group/name"
    std::vector<std::string> errors;
    std::vector<const ComponentHandle*> handles;

    void install(const std::string& group, const std::string& name, const std::string& interfaceName,
                 const std::string& objectName, int instances = 100) {
        libraries[group + "/" + name] = std::make_unique<FakeFactory>(log, board, interfaceName, objectName, instances);
    }
    void installAll() {
        install("Drivers", "QX420A", "IADCDevice", "driver");
        install("Base library", "PellumE", "IPellumE", "plot");
        install("Base library", "KestoUtility", "IADCUtility", "utility");
    }

    void* LoadComponent(ComponentHandle& handle, const char* maker, const char* group, const char* version,
                        const char* name, const char* exportName) override {
        EXPECT_STREQ(maker, "Tarnwell");
        EXPECT_STREQ(version, "1.0");
        EXPECT_STREQ(exportName, "StaticFactory");
        handles.push_back(&handle);
        const std::string key = std::string(group) + "/" + name;
        log.push_back("load " + key);
        auto found = libraries.find(key);
        handle.exportAddress = found == libraries.end() ? nullptr : found->second.get();
        return handle.exportAddress;
    }
    void showStartupError(const char* text) override { errors.push_back(text); }
    SystemColours systemColours() override { return {0xC0C0C0, 0x808080}; }
};

// Runs each test in an empty working folder: start-up reads and writes its
// files in the current directory.
class StartupTest : public TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        previous_ = fs::current_path();
        fs::current_path(path(""));
    }
    void TearDown() override {
        fs::current_path(previous_);
        TempDirTest::TearDown();
    }
    static void writeFile(const char* name, const std::string& text) { writeBytes(name, text); }
    static std::string readFile(const char* name) { return readBytes(name); }

    FakeServices services;
    BenchController app;

private:
    fs::path previous_;
};

std::string message(const char* utf8) { return utf8ToCp1251(utf8); }

TEST_F(StartupTest, NormalStartAsksForComponentsInOrderAndKeepsThem) {
    services.installAll();
    ASSERT_EQ(app.start(services), StartupError::None);

    EXPECT_TRUE(services.errors.empty());
    const EventLog want = {
        "load Drivers/QX420A",
        "release driver",
        "load Base library/PellumE",
        "load Base library/PellumE",
        "load Base library/KestoUtility",
        "open QX420A 1 0 1024",
        "addref device",
    };
    EXPECT_EQ(services.log, want);
    EXPECT_NE(app.mainPlot(), nullptr);
    EXPECT_NE(app.topPlot(), nullptr);
    EXPECT_NE(app.mainPlot(), app.topPlot());
    EXPECT_NE(app.utility, nullptr);
    EXPECT_NE(app.device, nullptr);
    EXPECT_TRUE(app.settings.boardFlags & kBoardCapable);
    EXPECT_DOUBLE_EQ(app.voltsPerCount, 10.0 / 32768.0);
    // The configuration file was created from the built-in text.
    EXPECT_TRUE(fs::exists("Quorvel.cfg"));

    // At close, once the window is gone: the view state saved, then the main
    // plot released first, the top plot, the driver and the utility.
    static_cast<FakePlot*>(app.mainPlot())->rename("main plot");
    static_cast<FakePlot*>(app.topPlot())->rename("top plot");
    services.log.clear();
    ASSERT_FALSE(fs::exists("Quorvel.sav"));
    app.onClosed();
    EXPECT_TRUE(fs::exists("Quorvel.sav"));
    const EventLog released = {"release main plot", "release top plot", "release device", "release utility"};
    EXPECT_EQ(services.log, released);
    EXPECT_EQ(app.mainPlot(), nullptr);
    EXPECT_EQ(app.topPlot(), nullptr);
    EXPECT_EQ(app.device, nullptr);
    EXPECT_EQ(app.utility, nullptr);
}

// Each failure: its exact message, the components asked for up to it, and
// what was released.
TEST_F(StartupTest, FailuresShowTheirMessageAndReleaseWhatTheyMust) {
    struct Case {
        const char* name;
        std::string config;  // Quorvel.cfg; empty: the built-in text
        void (*prepare)(FakeServices&);
        StartupError error;
        std::string text;
        EventLog log;
    };
    const std::string builtIn;
    const Case cases[] = {
        {"no driver",
         builtIn,
         [](FakeServices& s) { s.libraries.erase("Drivers/QX420A"); },
         StartupError::NoComponent,
         message("Ошибка... \n Нет нужной библиотеки - QX420A.dll."),
         {"load Drivers/QX420A"}},
        {"driver without IADCDevice",
         builtIn,
         [](FakeServices& s) { s.install("Drivers", "QX420A", "IOther", "driver"); },
         StartupError::NoComponent,
         message("Ошибка... \n Нет нужной библиотеки - QX420A.dll."),
         {"load Drivers/QX420A"}},
        {"no plot component",
         builtIn,
         [](FakeServices& s) { s.libraries.erase("Base library/PellumE"); },
         StartupError::NoPlotComponent,
         message("Ошибка... \n Нет нужной библиотеки - PellumE.dll."),
         {"load Drivers/QX420A", "release driver", "load Base library/PellumE"}},
        {"extended and plain plot component missing",
         "USEPellumEx1 = 1\r\n",
         [](FakeServices& s) { s.libraries.erase("Base library/PellumE"); },
         StartupError::NoPlotComponent,
         message("Ошибка... \n Нет нужной библиотеки - PellumE.dll."),
         {"load Drivers/QX410A", "release driver", "load Base library/PellumE1", "load Base library/PellumE"}},
        {"base 0 after the plot components",
         "Device = QX420A\r\nBase = 0\r\n",
         nullptr,
         StartupError::BadBase,
         message("Ошибка... \n Очень плохие параметры в файле Quorvel.cfg!"),
         {"load Drivers/QX420A", "release driver", "load Base library/PellumE", "load Base library/PellumE"}},
        {"no utility",
         "Device = QX420A\r\nUtility = \"MyUtil\"\r\n",
         nullptr,
         StartupError::NoComponent,
         message("Ошибка... \n Нет нужной библиотеки - MyUtil.dll."),
         {"load Drivers/QX420A", "release driver", "load Base library/PellumE", "load Base library/PellumE",
          "load Base library/MyUtil"}},
        {"open fails",
         builtIn,
         [](FakeServices& s) { s.board.openResult = 0; },
         StartupError::OpenFailed,
         message("Ошибка... \n Нет нужного драйвера или не верно заданы параметры платы!"),
         {"load Drivers/QX420A", "release driver", "load Base library/PellumE", "load Base library/PellumE",
          "load Base library/KestoUtility", "open QX420A 1 0 1024", "release utility"}},
        {"no device handed out",
         builtIn,
         [](FakeServices& s) { s.board.handOutDevice = false; },
         StartupError::NoDevice,
         message("Ошибка... \n Нет нужного драйвера!"),
         {"load Drivers/QX420A", "release driver", "load Base library/PellumE", "load Base library/PellumE",
          "load Base library/KestoUtility", "open QX420A 1 0 1024", "release utility"}},
        {"device property fails",
         builtIn,
         [](FakeServices& s) { s.board.deviceResult = 0; },
         StartupError::NoDevice,
         message("Ошибка... \n Нет нужного драйвера!"),
         {"load Drivers/QX420A", "release driver", "load Base library/PellumE", "load Base library/PellumE",
          "load Base library/KestoUtility", "open QX420A 1 0 1024", "release utility"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeServices s;
        s.installAll();
        s.install("Drivers", "QX410A", "IADCDevice", "driver");
        if (c.prepare) c.prepare(s);
        std::filesystem::remove("Quorvel.cfg");
        if (!c.config.empty()) writeFile("Quorvel.cfg", c.config);

        BenchController core;
        EXPECT_EQ(core.start(s), c.error);
        ASSERT_EQ(s.errors.size(), 1u);
        EXPECT_EQ(s.errors[0], c.text);
        EXPECT_EQ(s.log, c.log);
        EXPECT_EQ(core.utility, nullptr);
        EXPECT_EQ(core.device, nullptr);
    }
}

TEST_F(StartupTest, CapabilityCheckFailuresReleaseDeviceAndUtility) {
    struct Case {
        const char* name;
        void (*prepare)(BoardBehaviour&);
    };
    const Case cases[] = {
        {"status call fails", [](BoardBehaviour& b) { b.statusResult = 0; }},
        {"status bit 0 clear", [](BoardBehaviour& b) { b.statusWord = 0x10; }},
        {"no descriptor", [](BoardBehaviour& b) { b.giveCapabilities = false; }},
        {"word 1 lacks bit 9", [](BoardBehaviour& b) { b.capabilities.word1 = 0x100; }},
        {"word 2 lacks bit 2", [](BoardBehaviour& b) { b.capabilities.word2 = 0x3000000; }},
        {"word 2 lacks bit 25", [](BoardBehaviour& b) { b.capabilities.word2 = 0x1000004; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeServices s;
        s.installAll();
        c.prepare(s.board);
        BenchController core;
        EXPECT_EQ(core.start(s), StartupError::NotSupported);
        ASSERT_EQ(s.errors.size(), 1u);
        EXPECT_EQ(s.errors[0], message("Ошибка... \n Устройство не поддерживается программой!"));
        const EventLog tail(s.log.end() - 3, s.log.end());
        EXPECT_EQ(tail, (EventLog{"addref device", "release device", "release utility"}));
        EXPECT_EQ(core.device, nullptr);
        EXPECT_EQ(core.utility, nullptr);
        EXPECT_FALSE(core.settings.boardFlags & kBoardCapable);
    }
}

TEST_F(StartupTest, ExtendedPlotComponentFallsBackInTheSameHolder) {
    services.installAll();
    services.install("Drivers", "QX410A", "IADCDevice", "driver");
    writeFile("Quorvel.cfg", "USEPellumEx1 = 0x10\r\nDevice = QX420A\r\n");
    ASSERT_EQ(app.start(services), StartupError::None);
    ASSERT_GE(services.handles.size(), 3u);
    EXPECT_EQ(services.log[2], "load Base library/PellumE1");
    EXPECT_EQ(services.log[3], "load Base library/PellumE");
    // The holder of the failed extended component is reused, so the loader
    // unloads that library before loading the plain one.
    EXPECT_EQ(services.handles[1], services.handles[2]);
    EXPECT_NE(services.handles[2], services.handles[3]);
}

TEST_F(StartupTest, MissingSecondPlotInstanceIsNotAnError) {
    services.installAll();
    services.install("Base library", "PellumE", "IPellumE", "plot", 1);
    ASSERT_EQ(app.start(services), StartupError::None);
    EXPECT_NE(app.mainPlot(), nullptr);
    EXPECT_EQ(app.topPlot(), nullptr);
}

TEST_F(StartupTest, FullScaleGivesVoltsPerCountAndBoundsTheSpectrumScale) {
    struct Case {
        const char* name;
        int32_t result;
        float fullScale;
        const char* fftScaleV;
        double wantVoltsPerCount;
        double wantFftScaleV;
    };
    const Case cases[] = {
        {"10 V board", 1, 10.0f, "10.0", 10.0 / 32768, 10.0},
        {"zero full scale counts as 1 V", 1, 0.0f, "1.5", 1.0 / 32768, 1.5},
        {"failed call counts as 1 V", 0, 10.0f, "1.5", 1.0 / 32768, 1.5},
        {"negative full scale counts as 1 V", 1, -5.0f, "1.5", 1.0 / 32768, 1.5},
        {"infinite full scale counts as 1 V", 1, INFINITY, "1.5", 1.0 / 32768, 1.5},
        {"not-a-number full scale counts as 1 V", 1, NAN, "1.5", 1.0 / 32768, 1.5},
        {"scale below 0.1 is raised", 1, 10.0f, "0.05", 10.0 / 32768, 0.1},
        {"scale above twice the range is cut", 1, 10.0f, "25", 10.0 / 32768, 20.0},
        {"scale within twice the range stays", 1, 10.0f, "15", 10.0 / 32768, 15.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeServices s;
        s.installAll();
        s.board.fullScaleResult = c.result;
        s.board.fullScale = c.fullScale;
        writeFile("Quorvel.cfg", std::string("Device = QX420A\r\nFFTScaleV = ") + c.fftScaleV + "\r\n");
        BenchController core;
        ASSERT_EQ(core.start(s), StartupError::None);
        EXPECT_DOUBLE_EQ(core.voltsPerCount, c.wantVoltsPerCount);
        EXPECT_DOUBLE_EQ(core.settings.fftScaleV, c.wantFftScaleV);
        // The engine scales the samples with the same factor.
        EXPECT_DOUBLE_EQ(core.engine.voltsPerCount(), c.wantVoltsPerCount);
    }
}

TEST_F(StartupTest, SavedViewStateIsReadOnlyAfterEveryCheckPassed) {
    const std::string saved = "SizeIndex   = 2\r\nDisplayMode = 1\r\nAutoScale   = 1\r\n";
    writeFile("Quorvel.sav", saved);
    {
        FakeServices s;
        s.installAll();
        s.board.statusWord = 0;
        BenchController core;
        EXPECT_EQ(core.start(s), StartupError::NotSupported);
        EXPECT_EQ(core.viewState.sizeIndex, 0);
        EXPECT_EQ(core.viewState.displayMode, ViewMode::Scope);
    }
    EXPECT_EQ(readFile("Quorvel.sav"), saved);

    services.installAll();
    ASSERT_EQ(app.start(services), StartupError::None);
    EXPECT_EQ(app.viewState.sizeIndex, 2);
    EXPECT_EQ(app.viewState.displayMode, ViewMode::SpectrumVolts);
    EXPECT_EQ(app.viewState.autoScale, 1);
}

TEST(StartupErrorText, LongComponentNameIsCut) {
    char text[256];
    const std::string name(400, 'x');
    formatStartupError(text, StartupError::NoComponent, name.c_str());
    EXPECT_EQ(std::strlen(text), 255u);
}

TEST(StartupErrorText, IsCodePage1251) {
    char text[256];
    formatStartupError(text, StartupError::NoDevice, nullptr);
    // "Ошибка... \n Нет нужного драйвера!" in code page 1251.
    const char want[] =
        "\xCE\xF8\xE8\xE1\xEA\xE0... \n \xCD\xE5\xF2 \xED\xF3\xE6\xED\xEE\xE3\xEE "
        "\xE4\xF0\xE0\xE9\xE2\xE5\xF0\xE0!";
    EXPECT_STREQ(text, want);
}

}  // namespace
