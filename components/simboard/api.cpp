// The simulated board's component objects: the driver (IADCDevice) and the
// utility (IADCUtility), and the factory that the library exports. One source
// serves both libraries: SIMBOARD_DRIVER builds the driver library, which
// hands out "IADCDevice"; SIMBOARD_UTILITY the utility library ("IADCUtility").
#include <windows.h>

#include <atomic>
#include <cstring>
#include <new>

#include "acquisition/board_interface.h"
#include "components/simboard/protocol.h"

#if defined(SIMBOARD_DRIVER) == defined(SIMBOARD_UTILITY)
#error "define exactly one of SIMBOARD_DRIVER and SIMBOARD_UTILITY"
#endif

namespace {

using simboard::BoardSettings;

// The settings file as it is now; the defaults when it cannot be read.
BoardSettings currentSettings() {
    try {
        return simboard::loadSettings();
    } catch (...) {
        return simboard::defaultSettings();
    }
}

class PerformanceClock final : public simboard::Clock {
public:
    uint64_t ticks() override {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        return static_cast<uint64_t>(now.QuadPart);
    }
    uint64_t ticksPerSecond() override {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return static_cast<uint64_t>(frequency.QuadPart);
    }
};

// Each object starts with one reference, its creator's, and deletes itself
// when the last is released.
class Device final : public IADCDevice {
public:
    explicit Device(const BoardSettings& settings) : settings_(settings) {}

    int32_t QV_CALL AddRef() override { return ++references_; }
    int32_t QV_CALL Release() override {
        const int32_t left = --references_;
        if (left == 0) delete this;
        return left;
    }
    int32_t QV_CALL Control(int32_t command, void* record, int32_t reserved) override {
        try {
            return simboard::control(settings_, command, record) ? 1 : 0;
        } catch (...) {
            return 0;
        }
    }
    int32_t QV_CALL GetProperty(int32_t code, void* out) override {
        try {
            return simboard::deviceProperty(settings_, code, out) ? 1 : 0;
        } catch (...) {
            return 0;
        }
    }

private:
    const BoardSettings settings_;
    std::atomic<int32_t> references_{1};
};

class Utility final : public IADCUtility {
public:
    Utility() : settings_(currentSettings()), acquisition_(clock_) { acquisition_.configure(settings_); }
    ~Utility() {
        if (device_) device_->Release();
    }

    int32_t QV_CALL AddRef() override { return ++references_; }
    int32_t QV_CALL Release() override {
        const int32_t left = --references_;
        if (left == 0) delete this;
        return left;
    }

    // The settings are read again, so that a file written after the utility
    // was created still counts. `blockHint` is frames per block until
    // property 27 sets the size.
    int32_t QV_CALL Open(const char* deviceName, int32_t base, int32_t reserved, int32_t blockHint) override {
        try {
            settings_ = currentSettings();
            acquisition_.configure(settings_);
            if (base < 1) return 0;
            return acquisition_.open(blockHint) ? 1 : 0;
        } catch (...) {
            return 0;
        }
    }
    int32_t QV_CALL Start(AcquisitionParameters* parameters, int32_t mode) override {
        try {
            return acquisition_.start(parameters) ? 1 : 0;
        } catch (...) {
            return 0;
        }
    }
    int32_t QV_CALL GetBlock(const int16_t** block, int32_t* auxiliary) override {
        try {
            if (!block) return 0;
            if (auxiliary) *auxiliary = 0;
            *block = acquisition_.takeBlock();
            return *block ? 1 : 0;
        } catch (...) {
            return 0;
        }
    }
    int32_t QV_CALL ReleaseBlock() override { return acquisition_.releaseBlock() ? 1 : 0; }
    int32_t QV_CALL Property(int32_t code, void* value) override {
        try {
            return property(code, value);
        } catch (...) {
            return 0;
        }
    }
    int32_t QV_CALL Stop() override {
        acquisition_.stop();
        return 1;
    }

private:
    int32_t property(int32_t code, void* value) {
        switch (code) {
        case kUtilityPropertyDevice: {
            if (!value) return 0;
            IADCDevice* device = nullptr;
            if (acquisition_.isOpen() && !settings_.noDevice) {
                // One device per utility; this object keeps the reference it
                // was created with until its own last Release.
                if (!device_) device_ = new (std::nothrow) Device(settings_);
                device = device_;
            }
            std::memcpy(value, &device, sizeof device);
            return device ? 1 : 0;
        }
        case kUtilityPropertyBlockSize: {
            if (!value) return 0;
            int32_t samples;
            std::memcpy(&samples, value, sizeof samples);
            return acquisition_.setBlockSamples(samples) ? 1 : 0;
        }
        case kUtilityPropertyReadyBlocks:
        case kUtilityPropertyConnected: {
            if (!value) return 0;
            const int32_t answer = code == kUtilityPropertyReadyBlocks ? acquisition_.readyBlocks()
                                   : acquisition_.connected()          ? 1
                                                                       : 0;
            std::memcpy(value, &answer, sizeof answer);
            return 1;
        }
        case kUtilityPropertyStatus: {
            // The program uses neither the result nor the value, and may
            // pass no value at all.
            if (value) {
                const int32_t answer = acquisition_.running() ? 1 : 0;
                std::memcpy(value, &answer, sizeof answer);
            }
            return 1;
        }
        case kUtilityPropertyReset:
            return 1;
        default:
            return 0;
        }
    }

    PerformanceClock clock_;
    BoardSettings settings_;
    simboard::Acquisition acquisition_;
    Device* device_ = nullptr;
    std::atomic<int32_t> references_{1};
};

#if defined(SIMBOARD_DRIVER)
constexpr const char kInterfaceName[] = "IADCDevice";
#else
constexpr const char kInterfaceName[] = "IADCUtility";
#endif

}  // namespace

// The exported factory: a new, independent object per call.
class SimBoardFactory final : public IComponentFactory {
public:
    void* QV_CALL CreateInterface(const char* interfaceName, int32_t reserved) override {
        try {
            if (!interfaceName || std::strcmp(interfaceName, kInterfaceName) != 0) return nullptr;
#if defined(SIMBOARD_DRIVER)
            return static_cast<IADCDevice*>(new (std::nothrow) Device(currentSettings()));
#else
            return static_cast<IADCUtility*>(new (std::nothrow) Utility());
#endif
        } catch (...) {
            return nullptr;
        }
    }
};

extern "C" {
__declspec(dllexport) SimBoardFactory StaticFactory;
}
