// The component libraries as the program loads them: QX420A.dll,
// KestoUtility.dll and PellumE.dll, each through its StaticFactory export.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "acquisition/board_interface.h"
#include "component_paths.h"
#include "display/plot_interface.h"

// The first two slots of every component interface. Outside the anonymous
// namespace: the compiler must not conclude that nothing implements it.
struct ReferenceCounted {
    virtual int32_t QV_CALL AddRef() = 0;
    virtual int32_t QV_CALL Release() = 0;
};

namespace {

class Library {
public:
    explicit Library(const char* path) {
        SetLastError(0xdeadbeef);
        module_ = LoadLibraryA(path);
        error_ = GetLastError();
    }
    ~Library() {
        if (module_) FreeLibrary(module_);
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    bool loaded() const { return module_ != nullptr; }
    DWORD error() const { return error_; }

    IComponentFactory* factory() const {
        if (!module_) return nullptr;
        return reinterpret_cast<IComponentFactory*>(
            reinterpret_cast<void*>(GetProcAddress(module_, kFactoryExportName)));
    }

    template <class T>
    T* create(const char* interfaceName) const {
        IComponentFactory* f = factory();
        return f ? static_cast<T*>(f->CreateInterface(interfaceName, 0)) : nullptr;
    }

    // Names in the export directory of the mapped image.
    std::vector<std::string> exportNames() const {
        std::vector<std::string> names;
        const auto* base = reinterpret_cast<const unsigned char*>(module_);
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
        const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
        if (dir.VirtualAddress == 0) return names;
        const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
        const auto* nameTable = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
        for (DWORD i = 0; i < exports->NumberOfNames; ++i)
            names.emplace_back(reinterpret_cast<const char*>(base + nameTable[i]));
        return names;
    }

private:
    HMODULE module_ = nullptr;
    DWORD error_ = 0;
};

// A fresh, empty current directory for the duration of a test, where
// SimBoard.cfg may be written.
class WorkingFolder {
public:
    WorkingFolder() {
        GetCurrentDirectoryA(sizeof previous_, previous_);
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        static int counter = 0;
        std::snprintf(path_, sizeof path_, "%squorvel-components-%lu-%d", temp, GetCurrentProcessId(), ++counter);
        CreateDirectoryA(path_, nullptr);
        SetCurrentDirectoryA(path_);
    }
    ~WorkingFolder() {
        SetCurrentDirectoryA(previous_);
        std::string file = std::string(path_) + "\\SimBoard.cfg";
        DeleteFileA(file.c_str());
        RemoveDirectoryA(path_);
    }
    void writeSettings(const char* text) const {
        FILE* f = std::fopen("SimBoard.cfg", "wb");
        ASSERT_NE(f, nullptr);
        std::fputs(text, f);
        std::fclose(f);
    }

private:
    char previous_[MAX_PATH] = "";
    char path_[MAX_PATH] = "";
};

// ------------------------------------------------------------ the factories

TEST(ComponentLibraries, ExportOnlyTheFactoryAndMakeIndependentInstances) {
    const struct {
        const char* path;
        const char* interfaceName;
    } libraries[] = {{kDriverLibrary, "IADCDevice"}, {kUtilityLibrary, "IADCUtility"}, {kPlotLibrary, "IPellumE"}};
    const char* const names[] = {"IADCDevice", "IADCUtility", "IPellumE"};
    for (const auto& l : libraries) {
        SCOPED_TRACE(l.path);
        Library library(l.path);
        ASSERT_TRUE(library.loaded()) << "LoadLibrary error " << library.error();
        const std::vector<std::string> exports = library.exportNames();
        ASSERT_EQ(exports.size(), 1u);
        EXPECT_EQ(exports[0], "StaticFactory");
        IComponentFactory* factory = library.factory();
        ASSERT_NE(factory, nullptr);

        auto* a = static_cast<ReferenceCounted*>(factory->CreateInterface(l.interfaceName, 0));
        auto* b = static_cast<ReferenceCounted*>(factory->CreateInterface(l.interfaceName, 0));
        ASSERT_NE(a, nullptr);
        ASSERT_NE(b, nullptr);
        EXPECT_NE(a, b);
        EXPECT_EQ(a->AddRef(), 2);
        EXPECT_EQ(a->Release(), 1);
        EXPECT_EQ(a->Release(), 0);
        EXPECT_EQ(b->Release(), 0);

        for (const char* other : names) {
            if (std::string(other) == l.interfaceName) continue;
            EXPECT_EQ(factory->CreateInterface(other, 0), nullptr) << other;
        }
        EXPECT_EQ(factory->CreateInterface("", 0), nullptr);
        EXPECT_EQ(factory->CreateInterface(nullptr, 0), nullptr);
        std::string lower = l.interfaceName;
        for (char& c : lower) c = static_cast<char>(tolower(c));
        EXPECT_EQ(factory->CreateInterface(lower.c_str(), 0), nullptr) << lower;
    }
}

// ------------------------------------------------------------ the board

class BoardLibraries : public ::testing::Test {
protected:
    BoardLibraries() : driver_(kDriverLibrary), utilityLibrary_(kUtilityLibrary) {}

    void SetUp() override {
        ASSERT_TRUE(driver_.loaded()) << kDriverLibrary;
        ASSERT_TRUE(utilityLibrary_.loaded()) << kUtilityLibrary;
    }

    // The board as start-up gets it: Open, then the device from property 100.
    IADCUtility* openUtility() {
        IADCUtility* u = utilityLibrary_.create<IADCUtility>("IADCUtility");
        EXPECT_NE(u, nullptr);
        return u;
    }

    Library driver_;
    Library utilityLibrary_;
};

struct StartupAnswers {
    int32_t statusResult;
    uint32_t status;
    const BoardCapabilities* capabilities;
    int32_t fullScaleResult;
    float fullScale;
};

StartupAnswers askStartupQuestions(IADCDevice* device) {
    StartupAnswers a{};
    a.status = 0;
    a.statusResult = device->GetProperty(kDevicePropertyStatus, &a.status);
    a.capabilities = nullptr;
    device->GetProperty(kDevicePropertyCapabilities, &a.capabilities);
    a.fullScale = 0.0f;
    a.fullScaleResult = device->GetProperty(kDevicePropertyFullScale, &a.fullScale);
    return a;
}

bool capable(const BoardCapabilities* c) {
    return c && (c->word1 & kCapabilityWord1Mask) == kCapabilityWord1Mask && (c->word2 & kCapabilityWord2Bit) != 0 &&
           (c->word2 & kCapabilityWord2Mask) == kCapabilityWord2Mask;
}

TEST_F(BoardLibraries, PassTheStartUpChecksWithoutSettings) {
    WorkingFolder folder;
    IADCUtility* utility = openUtility();
    ASSERT_NE(utility, nullptr);
    EXPECT_EQ(utility->Open("QX420A", 1, 0, 1024), 1);
    IADCDevice* device = reinterpret_cast<IADCDevice*>(uintptr_t(1));
    ASSERT_EQ(utility->Property(kUtilityPropertyDevice, &device), 1);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->AddRef(), 2);

    const StartupAnswers a = askStartupQuestions(device);
    EXPECT_NE(a.statusResult, 0);
    EXPECT_EQ(a.status & 1, 1u) << "status " << a.status;
    EXPECT_TRUE(capable(a.capabilities));
    EXPECT_EQ(a.fullScaleResult, 1);
    EXPECT_EQ(a.fullScale, 10.0f);

    // The program's own reference goes; the utility's keeps the device.
    EXPECT_EQ(device->Release(), 1);
    float fullScale = 0.0f;
    EXPECT_EQ(device->GetProperty(kDevicePropertyFullScale, &fullScale), 1);
    EXPECT_EQ(utility->Release(), 0);

    IADCDevice* driverDevice = driver_.create<IADCDevice>("IADCDevice");
    ASSERT_NE(driverDevice, nullptr);
    const StartupAnswers d = askStartupQuestions(driverDevice);
    EXPECT_EQ(d.status & 1, 1u);
    EXPECT_TRUE(capable(d.capabilities));
    EXPECT_EQ(d.fullScale, 10.0f);
    EXPECT_EQ(driverDevice->Release(), 0);
}

TEST_F(BoardLibraries, EachFailureSettingHasItsEffect) {
    struct Case {
        const char* settings;
        // Checks the utility (not yet opened) and a device of the driver.
        void (*check)(IADCUtility* utility, IADCDevice* driverDevice);
    };
    const Case cases[] = {
        {"FailOpen = 1\r\n", [](IADCUtility* u, IADCDevice*) { EXPECT_EQ(u->Open("QX420A", 1, 0, 1024), 0); }},
        {"NoDevice = 1\r\n",
         [](IADCUtility* u, IADCDevice*) {
             ASSERT_EQ(u->Open("QX420A", 1, 0, 1024), 1);
             IADCDevice* device = reinterpret_cast<IADCDevice*>(uintptr_t(1));
             EXPECT_EQ(u->Property(kUtilityPropertyDevice, &device), 0);
             EXPECT_EQ(device, nullptr);
         }},
        {"FailCapability = 1\r\n",
         [](IADCUtility* u, IADCDevice* driverDevice) {
             ASSERT_EQ(u->Open("QX420A", 1, 0, 1024), 1);
             IADCDevice* device = nullptr;
             ASSERT_EQ(u->Property(kUtilityPropertyDevice, &device), 1);
             for (IADCDevice* d : {device, driverDevice}) {
                 const StartupAnswers a = askStartupQuestions(d);
                 EXPECT_EQ(a.status & 1, 0u);
                 EXPECT_TRUE(capable(a.capabilities)) << "only the status fails";
             }
         }},
        {"FailCapability = 2\r\n",
         [](IADCUtility* u, IADCDevice* driverDevice) {
             EXPECT_EQ(askStartupQuestions(driverDevice).capabilities, nullptr);
         }},
        {"FailCapability = 3\r\n",
         [](IADCUtility* u, IADCDevice* driverDevice) {
             const StartupAnswers a = askStartupQuestions(driverDevice);
             ASSERT_NE(a.capabilities, nullptr);
             EXPECT_FALSE(capable(a.capabilities));
             EXPECT_EQ(a.status & 1, 1u);
         }},
        {"NoFullScale = 1\r\n",
         [](IADCUtility* u, IADCDevice* driverDevice) {
             EXPECT_EQ(askStartupQuestions(driverDevice).fullScaleResult, 0);
         }},
        {"FullScale = 5\r\n",
         [](IADCUtility* u, IADCDevice* driverDevice) {
             const StartupAnswers a = askStartupQuestions(driverDevice);
             EXPECT_EQ(a.fullScaleResult, 1);
             EXPECT_EQ(a.fullScale, 5.0f);
         }},
        {"DisconnectAfter = 0\r\n",
         [](IADCUtility* u, IADCDevice*) {
             ASSERT_EQ(u->Open("QX420A", 1, 0, 1024), 1);
             int32_t connected = 1;
             EXPECT_EQ(u->Property(kUtilityPropertyConnected, &connected), 1);
             EXPECT_EQ(connected, 0);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.settings);
        WorkingFolder folder;
        folder.writeSettings(c.settings);
        IADCUtility* utility = openUtility();
        IADCDevice* driverDevice = driver_.create<IADCDevice>("IADCDevice");
        ASSERT_NE(utility, nullptr);
        ASSERT_NE(driverDevice, nullptr);
        c.check(utility, driverDevice);
        EXPECT_EQ(driverDevice->Release(), 0);
        EXPECT_EQ(utility->Release(), 0);
    }
}

TEST_F(BoardLibraries, SettingsWrittenAfterCreationCountAtOpen) {
    WorkingFolder folder;
    IADCUtility* utility = openUtility();
    ASSERT_NE(utility, nullptr);
    folder.writeSettings("FailOpen = 1\r\n");
    EXPECT_EQ(utility->Open("QX420A", 1, 0, 1024), 0);
    EXPECT_EQ(utility->Release(), 0);
}

TEST_F(BoardLibraries, FillTheBoardRecords) {
    WorkingFolder folder;
    IADCDevice* device = driver_.create<IADCDevice>("IADCDevice");
    ASSERT_NE(device, nullptr);

    BoardParameters p = emptyBoardParameters();
    ASSERT_EQ(device->Control(kControlRead, &p, 0), 1);
    EXPECT_EQ(p.type, kBoardParametersType);
    EXPECT_EQ(p.size, sizeof p);
    EXPECT_EQ(p.channelCount, 2u);
    for (uint32_t k = 0; k < p.channelCount; ++k) {
        SCOPED_TRACE(k);
        EXPECT_NE(p.channels[k].shown, 0);
        EXPECT_NE(p.channels[k].colour, 0u);
        EXPECT_EQ(p.channels[k].colour & 0xFF000000u, 0u);
        EXPECT_EQ(p.gainWords[k] & 0xFFFFFF, 1u);
        EXPECT_EQ(p.channelWords[k] & 0x3F, k);
    }
    EXPECT_EQ(p.acquisition.aggregateRate, 100000.0);
    EXPECT_EQ(p.acquisition.modeBits & 0x10, 0u);
    EXPECT_EQ(device->Control(kControlWrite, &p, 0), 1);

    ChannelList list{};
    list.type = kChannelListType;
    list.size = sizeof list;
    ASSERT_EQ(device->Control(kControlRead, &list, 0), 1);
    EXPECT_EQ(list.count, 2u);
    EXPECT_EQ(list.entries[0], (1u << 24) | p.channels[0].colour);
    EXPECT_EQ(list.entries[1], (1u << 24) | p.channels[1].colour);
    EXPECT_EQ(device->Control(kControlApplyList, &list, 0), 1);
    EXPECT_EQ(device->Release(), 0);
}

// The acquisition on the real clock, driven as the program drives it.
TEST_F(BoardLibraries, DeliverBlocksInRealTime) {
    WorkingFolder folder;
    IADCUtility* utility = openUtility();
    ASSERT_NE(utility, nullptr);
    ASSERT_EQ(utility->Open("QX420A", 1, 0, 1024), 1);
    IADCDevice* device = nullptr;
    ASSERT_EQ(utility->Property(kUtilityPropertyDevice, &device), 1);
    device->AddRef();

    BoardParameters p = emptyBoardParameters();
    ASSERT_EQ(device->Control(kControlRead, &p, 0), 1);
    const int32_t channels = static_cast<int32_t>(p.channelCount);
    const int32_t frames = 256;
    int32_t samples = frames * channels;
    ASSERT_EQ(utility->Property(kUtilityPropertyBlockSize, &samples), 1);
    int32_t connected = 1;
    ASSERT_EQ(utility->Property(kUtilityPropertyConnected, &connected), 1);
    EXPECT_EQ(connected, 1);
    ChannelList header{kChannelListType, sizeof(ChannelList), 0, {}};
    device->Control(kControlStartList, &header, 0);
    utility->Property(kUtilityPropertyReset, nullptr);
    p.acquisition.startFlags |= 2;
    p.acquisition.reserved16 = 1;
    ASSERT_EQ(utility->Start(&p.acquisition, 2), 1);

    // Bounded wait for the first block (about 5 ms of signal).
    int32_t ready = 0;
    for (int i = 0; i < 2000 && ready == 0; ++i) {
        Sleep(5);
        ASSERT_EQ(utility->Property(kUtilityPropertyReadyBlocks, &ready), 1);
    }
    ASSERT_GT(ready, 0) << "no block in 10 s";
    const int16_t* block = nullptr;
    int32_t auxiliary = 7;
    ASSERT_EQ(utility->GetBlock(&block, &auxiliary), 1);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(auxiliary, 0);
    // Five cycles of a 9 V and a 5 V sine on 10 V full scale.
    int high[2] = {0, 0};
    for (int32_t f = 0; f < frames; ++f)
        for (int c = 0; c < 2; ++c) high[c] = std::max(high[c], std::abs(block[f * channels + c]));
    EXPECT_NEAR(high[0], 29491, 300);
    EXPECT_NEAR(high[1], 16384, 300);
    EXPECT_EQ(utility->ReleaseBlock(), 1);

    EXPECT_EQ(utility->Stop(), 1);
    ready = -1;
    ASSERT_EQ(utility->Property(kUtilityPropertyReadyBlocks, &ready), 1);
    EXPECT_EQ(ready, 0);
    EXPECT_EQ(utility->GetBlock(&block, &auxiliary), 0);
    EXPECT_EQ(utility->Stop(), 1) << "stopping twice is harmless";

    EXPECT_EQ(device->Release(), 1);
    EXPECT_EQ(utility->Release(), 0);
}

// ------------------------------------------------------------ the plot

constexpr COLORREF kBackground = RGB(255, 255, 255);
constexpr COLORREF kFrame = RGB(128, 128, 128);
constexpr COLORREF kCurve = RGB(255, 0, 0);
constexpr COLORREF kSentinel = RGB(0x12, 0x34, 0x56);

// A 32-bit top-down DIB section in a memory context: pixels readable directly.
class Canvas {
public:
    Canvas(int32_t width, int32_t height) : width_(width), height_(height) {
        dc_ = CreateCompatibleDC(nullptr);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        bits_ = static_cast<uint32_t*>(bits);
        if (bitmap_) previous_ = SelectObject(dc_, bitmap_);
    }
    ~Canvas() {
        if (previous_) SelectObject(dc_, previous_);
        if (bitmap_) DeleteObject(bitmap_);
        if (dc_) DeleteDC(dc_);
    }
    bool ready() const { return dc_ && bits_; }
    HDC dc() const { return dc_; }
    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    PlotRect client() const { return {0, 0, width_, height_}; }

    void fill(COLORREF c) {
        GdiFlush();
        for (int32_t i = 0; i < width_ * height_; ++i) bits_[i] = toPixel(c);
    }
    COLORREF at(int32_t x, int32_t y) const {
        const uint32_t p = bits_[y * width_ + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
    std::vector<int32_t> rowsOf(int32_t x, COLORREF c) const {
        std::vector<int32_t> rows;
        for (int32_t y = 0; y < height_; ++y)
            if (at(x, y) == c) rows.push_back(y);
        return rows;
    }
    std::vector<int32_t> columnsOf(int32_t y, COLORREF c) const {
        std::vector<int32_t> columns;
        for (int32_t x = 0; x < width_; ++x)
            if (at(x, y) == c) columns.push_back(x);
        return columns;
    }
    int32_t count(COLORREF c) const {
        int32_t n = 0;
        for (int32_t y = 0; y < height_; ++y)
            for (int32_t x = 0; x < width_; ++x) n += at(x, y) == c;
        return n;
    }

private:
    static uint32_t toPixel(COLORREF c) {
        return (uint32_t(GetRValue(c)) << 16) | (uint32_t(GetGValue(c)) << 8) | GetBValue(c);
    }
    int32_t width_, height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    uint32_t* bits_ = nullptr;
};

class PlotLibrary : public ::testing::Test {
protected:
    PlotLibrary() : library_(kPlotLibrary), canvas_(400, 300) {
        style_.styleVersion = 768;
        style_.marginX = 10;
        style_.marginY = 10;
        style_.gridLinesY = 5;
        style_.bgColor = kBackground;
        style_.oscColor = kFrame;
        style_.oscGridColor = RGB(192, 192, 192);
        style_.textColor = RGB(0, 0, 0);
        style_.frameWidth = 2;
        std::snprintf(style_.fontName, sizeof style_.fontName, "Courier New");
        style_.fontNamePtr = style_.fontName;
        style_.fontSize = 8;
        style_.gridLinesX = 8;
    }
    void SetUp() override {
        ASSERT_TRUE(library_.loaded()) << kPlotLibrary;
        ASSERT_TRUE(canvas_.ready());
        plot_ = library_.create<IPellumE>("IPellumE");
        ASSERT_NE(plot_, nullptr);
        ASSERT_EQ(plot_->SetStyle(&style_), 1);
        ASSERT_EQ(plot_->SetProperty(kPlotPropertyXUnit, "Hz"), 1);
        ASSERT_EQ(plot_->SetProperty(kPlotPropertyYUnit, "V  "), 1);
        canvas_.fill(kSentinel);
    }
    void TearDown() override {
        if (plot_) {
            EXPECT_EQ(plot_->Release(), 0);
        }
    }

    // One frame with one curve on the data range -1 .. 1.
    void draw(const std::vector<float>& values, const MarkerRecord* markers = nullptr) {
        const PlotRect client = canvas_.client();
        const PlotRange range{0.0f, 1.0f, -1.0f, 1.0f, -1.0f, 1.0f};
        ASSERT_EQ(plot_->BeginDraw(canvas_.dc(), &client, &range, static_cast<int32_t>(values.size()), 0, 0), 1);
        const uint32_t colour = kCurve;
        ASSERT_EQ(plot_->DrawCurve(values.data(), static_cast<int32_t>(values.size()), 1, 0, &colour, 0, markers, 0),
                  1);
        ASSERT_EQ(plot_->EndDraw(), 1);
        GdiFlush();
    }

    // The single row of the curve at column x for a constant value.
    int32_t rowOfConstant(float value) {
        draw(std::vector<float>(1000, value));
        const std::vector<int32_t> rows = canvas_.rowsOf(canvas_.width() / 2, kCurve);
        EXPECT_EQ(rows.size(), 1u) << "value " << value;
        return rows.empty() ? -1 : rows[0];
    }

    Library library_;
    Canvas canvas_;
    PlotStyle style_{};
    IPellumE* plot_ = nullptr;
};

TEST_F(PlotLibrary, ComposesOffScreenAndShowsTheFrameAtEndDraw) {
    const PlotRect client = canvas_.client();
    const PlotRange range{0.0f, 25000.0f, 0.0f, 7.07f, 0.0f, 10.0f};
    ASSERT_EQ(plot_->BeginDraw(canvas_.dc(), &client, &range, 1000, 0, 0), 1);
    const std::vector<float> values(1000, 5.0f);
    const uint32_t colour = kCurve;
    ASSERT_EQ(plot_->DrawCurve(values.data(), 1000, 1, 0, &colour, 0, nullptr, 0), 1);
    GdiFlush();
    EXPECT_EQ(canvas_.count(kSentinel), canvas_.width() * canvas_.height())
        << "nothing reaches the screen before EndDraw";

    ASSERT_EQ(plot_->EndDraw(), 1);
    GdiFlush();
    EXPECT_EQ(canvas_.count(kSentinel), 0);
    EXPECT_EQ(canvas_.at(1, 1), kBackground) << std::hex << canvas_.at(1, 1);
    EXPECT_EQ(canvas_.at(canvas_.width() - 2, canvas_.height() - 2), kBackground);
    EXPECT_GT(canvas_.count(kFrame), 400) << "the frame";
    EXPECT_GT(canvas_.count(kCurve), 200) << "the curve";
    int32_t ink = 0;  // scale numbers left of the frame
    for (int32_t y = 0; y < canvas_.height(); ++y)
        for (int32_t x = 0; x < 30; ++x) ink += canvas_.at(x, y) != kBackground;
    EXPECT_GT(ink, 20);
}

TEST_F(PlotLibrary, ConstantCurveLandsOnItsRow) {
    const int32_t top = rowOfConstant(1.0f);
    const int32_t bottom = rowOfConstant(-1.0f);
    ASSERT_GT(bottom - top, 100) << "top " << top << " bottom " << bottom;
    const struct {
        float value;
        double fromBottom;
    } cases[] = {{0.0f, 0.5}, {0.5f, 0.75}, {-0.8f, 0.1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        const double want = bottom - c.fromBottom * (bottom - top);
        EXPECT_NEAR(rowOfConstant(c.value), want, 1.0);
    }
    // One run across the plot.
    const std::vector<int32_t> run = canvas_.columnsOf(rowOfConstant(0.0f), kCurve);
    ASSERT_FALSE(run.empty());
    EXPECT_EQ(run.back() - run.front() + 1, static_cast<int32_t>(run.size()));
    EXPECT_GT(run.size(), 300u);
}

// The dB view's frame: the scale reads 10 dB below the plotted values. The
// curves are placed by the data pair, the scale numbers tell the scale
// pair; either taken for the other moves a curve by a tenth of the height
// or changes the numbers.
TEST_F(PlotLibrary, CurvesFollowTheDataPairAndTheScaleShowsTheScalePair) {
    const PlotRect client = canvas_.client();
    auto frame = [&](const PlotRange& range, const std::vector<float>* values) {
        canvas_.fill(kSentinel);
        ASSERT_EQ(plot_->BeginDraw(canvas_.dc(), &client, &range, 1000, 0, 0), 1);
        if (values) {
            const uint32_t colour = kCurve;
            ASSERT_EQ(plot_->DrawCurve(values->data(), 1000, 1, 0, &colour, 0, nullptr, 0), 1);
        }
        ASSERT_EQ(plot_->EndDraw(), 1);
        GdiFlush();
    };
    auto rowAt = [&](const PlotRange& range, float value) {
        const std::vector<float> flat(1000, value);
        frame(range, &flat);
        const std::vector<int32_t> rows = canvas_.rowsOf(canvas_.width() / 2, kCurve);
        EXPECT_EQ(rows.size(), 1u) << "value " << value;
        return rows.empty() ? -1 : rows[0];
    };
    const PlotRange decibels{0.0f, 25000.0f, -100.0f, 0.0f, -90.0f, 10.0f};
    const PlotRange dataPairBoth{0.0f, 25000.0f, -90.0f, 10.0f, -90.0f, 10.0f};
    const PlotRange scalePairBoth{0.0f, 25000.0f, -100.0f, 0.0f, -100.0f, 0.0f};

    // The interior's rows do not depend on the numbers' width.
    const int32_t top = rowAt(dataPairBoth, 10.0f);
    const int32_t bottom = rowAt(dataPairBoth, -90.0f);
    ASSERT_GT(bottom - top, 200) << "top " << top << " bottom " << bottom;
    const struct {
        float value;
        double fromTop;  // the share of the height above it, by the data pair
    } cases[] = {{10.0f, 0.0}, {0.0f, 0.1}, {-40.0f, 0.5}, {-90.0f, 1.0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_NEAR(rowAt(decibels, c.value), top + c.fromTop * (bottom - top), 1.0);
    }

    // The frame alone (grid, numbers, units) is the one of the scale pair.
    auto pixels = [&](const PlotRange& range) {
        frame(range, nullptr);
        std::vector<COLORREF> all;
        for (int32_t y = 0; y < canvas_.height(); ++y)
            for (int32_t x = 0; x < canvas_.width(); ++x) all.push_back(canvas_.at(x, y));
        return all;
    };
    const std::vector<COLORREF> shown = pixels(decibels);
    EXPECT_TRUE(shown == pixels(scalePairBoth)) << "the scale numbers of -100 .. 0";
    EXPECT_FALSE(shown == pixels(dataPairBoth)) << "the numbers tell the pairs apart";
}

TEST_F(PlotLibrary, SpikeAmongFourMillionPointsShows) {
    const int32_t top = rowOfConstant(1.0f);
    const int32_t zero = rowOfConstant(0.0f);
    const std::vector<int32_t> line = canvas_.columnsOf(zero, kCurve);
    ASSERT_FALSE(line.empty());

    std::vector<float> values(4194304, 0.0f);
    const size_t spike = 2097152 + 12345;
    values[spike] = 1.0f;
    draw(values);
    const std::vector<int32_t> peak = canvas_.columnsOf(top, kCurve);
    ASSERT_EQ(peak.size(), 1u) << "one column reaches the top";
    const int32_t width = line.back() - line.front() + 1;
    EXPECT_NEAR(peak[0], line.front() + double(spike) / values.size() * width, 2.0);
    const std::vector<int32_t> rows = canvas_.rowsOf(peak[0], kCurve);
    EXPECT_EQ(rows.front(), top);
    EXPECT_EQ(rows.back(), zero);
    EXPECT_EQ(static_cast<int32_t>(rows.size()), zero - top + 1) << "an unbroken stroke";
}

TEST_F(PlotLibrary, CurvesStayInsideTheFrame) {
    const int32_t top = rowOfConstant(1.0f);
    const int32_t bottom = rowOfConstant(-1.0f);

    draw(std::vector<float>(1000, 5.0f));
    EXPECT_EQ(canvas_.count(kCurve), 0) << "entirely above the range";

    std::vector<float> wild(1000);
    for (size_t i = 0; i < wild.size(); ++i) wild[i] = i % 2 ? 1e30f : -1e30f;
    draw(wild);
    EXPECT_GT(canvas_.count(kCurve), 1000);
    for (int32_t y = 0; y < canvas_.height(); ++y) {
        if (y >= top && y <= bottom) continue;
        ASSERT_TRUE(canvas_.columnsOf(y, kCurve).empty()) << "row " << y;
    }
}

TEST_F(PlotLibrary, MarkersAreDrawnInTheirColours) {
    const int32_t top = rowOfConstant(1.0f);
    const int32_t bottom = rowOfConstant(-1.0f);
    const std::vector<int32_t> line = canvas_.columnsOf(rowOfConstant(0.0f), kCurve);
    ASSERT_FALSE(line.empty());

    MarkerRecord markers[kMarkersPerChannel] = {};
    markers[0].kind = kMarkerLevelLine;
    markers[0].colour = RGB(0, 255, 0);
    markers[0].level = 0.5f;
    markers[1].kind = kMarkerBin;
    markers[1].colour = RGB(0, 0, 255);
    markers[1].bin = 500;
    markers[1].channel = 0;
    draw(std::vector<float>(1000, 0.0f), markers);

    const std::vector<int32_t> level = canvas_.rowsOf(canvas_.width() / 3, RGB(0, 255, 0));
    ASSERT_EQ(level.size(), 1u);
    EXPECT_NEAR(level[0], bottom - 0.75 * (bottom - top), 1.0);

    const int32_t binColumn = line.front() + (line.back() - line.front() + 1) / 2;
    const std::vector<int32_t> marker = canvas_.rowsOf(binColumn, RGB(0, 0, 255));
    ASSERT_FALSE(marker.empty()) << "column " << binColumn;
    EXPECT_LT(marker.back(), (top + bottom) / 2) << "just above the value";
    EXPECT_GT(marker.front(), (top + bottom) / 2 - 20);
}

TEST_F(PlotLibrary, RefusesCallsOutOfOrder) {
    const float value = 0.0f;
    const uint32_t colour = kCurve;
    EXPECT_EQ(plot_->DrawCurve(&value, 1, 1, 0, &colour, 0, nullptr, 0), 0) << "no frame begun";
    EXPECT_EQ(plot_->EndDraw(), 0);
    const PlotRect client = canvas_.client();
    const PlotRange range{0.0f, 1.0f, -1.0f, 1.0f, -1.0f, 1.0f};
    EXPECT_EQ(plot_->BeginDraw(nullptr, &client, &range, 1, 0, 0), 0);
    const PlotRect empty{10, 10, 10, 50};
    EXPECT_EQ(plot_->BeginDraw(canvas_.dc(), &empty, &range, 1, 0, 0), 0);
    EXPECT_EQ(plot_->SetProperty(99, "x"), 0);
    EXPECT_EQ(plot_->SetProperty(kPlotPropertyXUnit, nullptr), 0);
    const uint32_t cursor[5] = {3, RGB(255, 0, 255), 0, 0, 0};
    EXPECT_EQ(plot_->SetProperty(kPlotPropertyCursor, cursor), 1);
    const int32_t spectrum = 10;
    EXPECT_EQ(plot_->SetProperty(kPlotPropertyViewKind, &spectrum), 1);
    EXPECT_EQ(plot_->OnMouseMove(&client, 0, packPlotXY(5, 5)), 0);
    EXPECT_EQ(plot_->OnMouseButton(&client, 1, packPlotXY(5, 5), 0), 0);
    GdiFlush();
    EXPECT_EQ(canvas_.count(kSentinel), canvas_.width() * canvas_.height());
}

// ------------------------------------------------------ the plot's mouse

constexpr COLORREF kCursorColour = RGB(255, 0, 255);
constexpr COLORREF kSecondCurve = RGB(0, 160, 0);
constexpr COLORREF kMarkerColour = RGB(0, 0, 255);
constexpr int32_t kLeftHeld = 1;  // MK_LBUTTON

// The plot with a cursor colour, and its interior found from constant curves
// at the ends and the middle of the range.
class PlotMouse : public PlotLibrary {
protected:
    void SetUp() override {
        PlotLibrary::SetUp();
        if (HasFatalFailure()) return;
        const uint32_t cursor[5] = {3, kCursorColour, 0, 0, 0};
        ASSERT_EQ(plot_->SetProperty(kPlotPropertyCursor, cursor), 1);
        top_ = rowOfConstant(1.0f);
        bottom_ = rowOfConstant(-1.0f);
        zero_ = rowOfConstant(0.0f);
        const std::vector<int32_t> line = canvas_.columnsOf(zero_, kCurve);
        ASSERT_GT(line.size(), 300u);
        left_ = line.front();
        width_ = line.back() - line.front() + 1;
    }

    int32_t move(int32_t keys, int32_t x, int32_t y) {
        const PlotRect client = canvas_.client();
        return plot_->OnMouseMove(&client, keys, packPlotXY(x, y));
    }
    void press(int32_t button, int32_t x, int32_t y, int32_t kind = 0) {
        const PlotRect client = canvas_.client();
        plot_->OnMouseButton(&client, button, packPlotXY(x, y), kind);
    }
    // The pointer onto the y scale numbers: the cursor goes, and a left
    // button is taken as let go.
    void moveOff() { move(0, 1, top_ + 10); }

    // One frame of curves on the data range -1 .. 1.
    void drawCurves(const std::vector<std::pair<const std::vector<float>*, COLORREF>>& curves,
                    const MarkerRecord* markers = nullptr) {
        const PlotRect client = canvas_.client();
        const PlotRange range{0.0f, 1.0f, -1.0f, 1.0f, -1.0f, 1.0f};
        const int32_t points = curves.empty() ? 0 : static_cast<int32_t>(curves[0].first->size());
        ASSERT_EQ(plot_->BeginDraw(canvas_.dc(), &client, &range, points, 0, 0), 1);
        for (const auto& [values, colour] : curves) {
            const uint32_t c = colour;
            ASSERT_EQ(plot_->DrawCurve(values->data(), static_cast<int32_t>(values->size()), 1, 0, &c, 0, markers, 0),
                      1);
        }
        ASSERT_EQ(plot_->EndDraw(), 1);
        GdiFlush();
    }

    // Where a value falls while the full range is shown.
    int32_t rowOf(double value) const {
        return static_cast<int32_t>(std::lround(bottom_ - (value + 1.0) / 2.0 * (bottom_ - top_)));
    }
    // The one column in which the curve reaches the top row, or -1.
    int32_t peakColumn() const {
        const std::vector<int32_t> peak = canvas_.columnsOf(top_, kCurve);
        return peak.size() == 1 ? peak[0] : -1;
    }
    // The column of a bin marker's tip, just above the zero row, or -1.
    int32_t markerColumn() const {
        const std::vector<int32_t> tip = canvas_.columnsOf(zero_ - 3, kMarkerColour);
        return tip.empty() ? -1 : (tip.front() + tip.back()) / 2;
    }

    int32_t top_ = 0, bottom_ = 0, zero_ = 0, left_ = 0, width_ = 0;
};

TEST_F(PlotMouse, CursorFollowsThePointerAndLeavesWithIt) {
    const std::vector<float> flat(1000, 0.0f);
    const int32_t x = left_ + width_ / 2 + 7;
    const int32_t y = top_ + (bottom_ - top_) / 3;
    EXPECT_EQ(move(0, x, y), 1);
    EXPECT_EQ(move(0, x, y), 0) << "the same pixel";
    drawCurves({{&flat, kCurve}});

    const std::vector<int32_t> rows = canvas_.rowsOf(x, kCursorColour);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.front(), top_);
    EXPECT_EQ(rows.back(), bottom_);
    EXPECT_EQ(static_cast<int32_t>(rows.size()), bottom_ - top_ + 1) << "over the curve too";
    const std::vector<int32_t> columns = canvas_.columnsOf(y, kCursorColour);
    ASSERT_FALSE(columns.empty());
    EXPECT_EQ(columns.front(), left_);
    EXPECT_EQ(columns.back(), left_ + width_ - 1);
    int32_t ink = 0;  // the read-out beside the pointer
    for (int32_t r = y + 1; r < std::min(y + 40, bottom_); ++r)
        for (int32_t c = x + 1; c < std::min(x + 120, left_ + width_); ++c) ink += canvas_.at(c, r) == RGB(0, 0, 0);
    EXPECT_GT(ink, 20);
    EXPECT_EQ(canvas_.at(x, zero_), kCursorColour);
    EXPECT_EQ(canvas_.at(x - 3, zero_), kCurve);

    EXPECT_EQ(move(0, 2, y), 1) << "onto the scale numbers: the cursor goes";
    EXPECT_EQ(move(0, 3, y), 0);
    drawCurves({{&flat, kCurve}});
    EXPECT_EQ(canvas_.count(kCursorColour), 0);
}

// After a mouse event the kept frame, or kept columns, may be shown again:
// only when the curves are the same.
TEST_F(PlotMouse, RedrawsAfterAMouseEventShowTheirOwnCurves) {
    const struct {
        const char* name;
        std::vector<float> before, after;  // constant values of the curves
    } cases[] = {
        {"the same curves", {0.5f, -0.5f}, {0.5f, -0.5f}},
        {"the second curve changed", {0.5f, -0.5f}, {0.5f, 0.25f}},
        {"the first curve changed", {0.5f, -0.5f}, {0.25f, -0.5f}},
        {"a curve fewer", {0.5f, -0.5f}, {0.5f}},
        {"a curve more", {0.5f}, {0.5f, -0.5f}},
    };
    const COLORREF colours[2] = {kCurve, kSecondCurve};
    auto frame = [&](const std::vector<float>& levels) {
        std::vector<std::vector<float>> values;
        for (const float level : levels) values.emplace_back(100000, level);
        std::vector<std::pair<const std::vector<float>*, COLORREF>> curves;
        for (size_t k = 0; k < values.size(); ++k) curves.emplace_back(&values[k], colours[k]);
        drawCurves(curves);
    };
    int32_t x = left_ + width_ / 2;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        frame(c.before);
        EXPECT_EQ(move(0, ++x, bottom_ - 3), 1);
        frame(c.after);
        EXPECT_GT(canvas_.count(kCursorColour), 0);
        const int32_t column = left_ + 5;
        for (size_t k = 0; k < 2; ++k) {
            SCOPED_TRACE("curve " + std::to_string(k));
            const std::vector<int32_t> rows = canvas_.rowsOf(column, colours[k]);
            if (k >= c.after.size()) {
                EXPECT_EQ(canvas_.count(colours[k]), 0);
                continue;
            }
            ASSERT_EQ(rows.size(), 1u);
            EXPECT_NEAR(rows[0], rowOf(c.after[k]), 1.0);
        }
    }
}

TEST_F(PlotMouse, AChangeAnywhereInALongCurveShowsWithoutAMouseEvent) {
    std::vector<float> values(4194304, 0.0f);
    drawCurves({{&values, kCurve}});
    EXPECT_EQ(canvas_.columnsOf(top_, kCurve).size(), 0u);
    values[2057 * 1000 + 7] = 1.0f;
    drawCurves({{&values, kCurve}});
    EXPECT_EQ(canvas_.columnsOf(top_, kCurve).size(), 1u) << "the new spike";
}

TEST_F(PlotMouse, ZoomMovesCurvesAndMarkersAlike) {
    std::vector<float> values(1000, 0.0f);
    values[600] = 1.0f;
    MarkerRecord markers[kMarkersPerChannel] = {};
    markers[0].kind = kMarkerBin;
    markers[0].colour = kMarkerColour;
    markers[0].bin = 300;
    const auto draw = [&] { drawCurves({{&values, kCurve}}, markers); };
    draw();
    const int32_t fullPeak = left_ + 600 * width_ / 1000;
    const int32_t fullMarker = left_ + 300 * width_ / 1000;
    EXPECT_NEAR(peakColumn(), fullPeak, 1.0);
    EXPECT_NEAR(markerColumn(), fullMarker, 1.0);

    // A click zooms x in by two about the clicked column's left edge: the
    // window of points becomes [p / 2, p / 2 + 500) of the 1000 points.
    const int32_t clicked = left_ + width_ / 2;
    const double p = 1000.0 * (clicked - left_) / width_;
    const auto zoomedColumn = [&](int bin) {
        return left_ + static_cast<int32_t>(std::floor((bin - p / 2) * width_ / 500.0));
    };
    const struct {
        const char* name;
        std::function<void()> act;
        bool zoomed;
    } steps[] = {
        {"a left click", [&] { press(1, clicked, bottom_ - 20); }, true},
        {"a right press", [&] { press(2, clicked, bottom_ - 20); }, false},
        {"a left click again", [&] { press(1, clicked, bottom_ - 20); }, true},
        {"a double-click",
         [&] {
             press(1, clicked, bottom_ - 20);
             press(1, clicked, bottom_ - 20, 3);
         },
         false},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.name);
        s.act();
        moveOff();
        draw();
        EXPECT_NEAR(peakColumn(), s.zoomed ? zoomedColumn(600) : fullPeak, 1.0);
        EXPECT_NEAR(markerColumn(), s.zoomed ? zoomedColumn(300) : fullMarker, 1.0);
    }
}

// Clicking on a spike again and again ends with a few bins across the plot:
// the spike alone reaches the top, lines join it to its neighbours.
TEST_F(PlotMouse, DeepZoomShowsSingleBinsJoinedByLines) {
    std::vector<float> values(4194304, 0.0f);
    const size_t spike = 2097152 + 12345;
    values[spike] = 1.0f;
    drawCurves({{&values, kCurve}});
    for (int i = 0; i < 24; ++i) {
        const int32_t column = peakColumn();
        ASSERT_GE(column, 0) << "click " << i;
        press(1, column, bottom_ - 20);
        moveOff();
        drawCurves({{&values, kCurve}});
    }
    const int32_t peak = peakColumn();
    ASSERT_GE(peak, 0);
    // Neighbouring bins are a quarter of the width or more apart: a line
    // runs down from the spike on either side.
    for (const int32_t side : {-1, 1}) {
        SCOPED_TRACE(side < 0 ? "left" : "right");
        const int32_t column = peak + side * 20;
        if (column < left_ || column >= left_ + width_) continue;
        const std::vector<int32_t> rows = canvas_.rowsOf(column, kCurve);
        ASSERT_FALSE(rows.empty());
        EXPECT_GT(rows.front(), top_ + 2);
        EXPECT_LT(rows.back(), zero_ - 2) << "part of the way down";
    }
}

TEST_F(PlotMouse, DragDrawsARectangleAndZoomsToIt) {
    const std::vector<float> flat(1000, 0.0f);
    const int32_t ax = left_ + 40, ay = top_ + 30;
    const int32_t cx = ax + 60, cy = ay + 40;
    press(1, ax, ay);
    EXPECT_EQ(move(kLeftHeld, cx, cy), 1);
    drawCurves({{&flat, kCurve}});
    const std::vector<int32_t> edge = canvas_.columnsOf(ay, kCursorColour);
    ASSERT_FALSE(edge.empty());
    EXPECT_EQ(edge.front(), ax);
    EXPECT_EQ(edge.back(), cx);
    EXPECT_EQ(move(kLeftHeld, cx, cy), 0) << "the same corner";

    // Let go: the rectangle's rows fill the height; its middle row's value
    // comes to the middle.
    EXPECT_EQ(move(0, 1, cy), 1);
    const double middle = 1.0 - 2.0 * ((ay + cy) / 2.0 - top_) / (bottom_ - top_);
    const std::vector<float> level(1000, static_cast<float>(middle));
    drawCurves({{&level, kCurve}});
    EXPECT_EQ(canvas_.count(kCursorColour), 0);
    const std::vector<int32_t> rows = canvas_.rowsOf(canvas_.width() / 2, kCurve);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_NEAR(rows[0], (top_ + bottom_) / 2.0, 1.5);
}

}  // namespace
