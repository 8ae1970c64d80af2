#pragma once
// The interface of the loader tests' probe library (loader_probe.cpp). Its
// factory, exported as StaticFactory like a real component's, hands it out
// under kLoaderProbeInterface; the identity tells which build of the probe a
// load really reached.
#include <cstdint>

#include "platform/component_abi.h"

struct ILoaderProbe {
    virtual int32_t QV_CALL AddRef() = 0;
    virtual int32_t QV_CALL Release() = 0;
    // "probe", or "decoy" for the build that stands beside it under a name
    // the loader must not reach.
    virtual const char* QV_CALL Identity() = 0;
};

inline constexpr const char kLoaderProbeInterface[] = "ILoaderProbe";
