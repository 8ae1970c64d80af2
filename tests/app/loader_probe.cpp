// A small component library for the loader tests: it exports StaticFactory as
// the real components do, and its one interface names the build it comes
// from. LOADER_PROBE_DECOY builds the decoy.
#include <cstring>

#include "tests/app/loader_probe.h"

namespace {

#if defined(LOADER_PROBE_DECOY)
constexpr const char kIdentity[] = "decoy";
#else
constexpr const char kIdentity[] = "probe";
#endif

// One object for the library's lifetime: references do not own it.
class Probe final : public ILoaderProbe {
public:
    int32_t QV_CALL AddRef() override { return 1; }
    int32_t QV_CALL Release() override { return 1; }
    const char* QV_CALL Identity() override { return kIdentity; }
};

Probe probe;

}  // namespace

class LoaderProbeFactory final : public IComponentFactory {
public:
    void* QV_CALL CreateInterface(const char* interfaceName, int32_t reserved) override {
        if (!interfaceName || std::strcmp(interfaceName, kLoaderProbeInterface) != 0) return nullptr;
        return static_cast<ILoaderProbe*>(&probe);
    }
};

extern "C" {
__declspec(dllexport) LoaderProbeFactory StaticFactory;
}
