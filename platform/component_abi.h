#pragma once
// Binary conventions shared by the program and the components it loads.
//
// Component objects follow the platform's component-object style: AddRef and
// Release come first, slots are only ever appended, there is no virtual
// destructor and no exception crosses the boundary. The object is the implicit
// first argument of every operation, called with QV_CALL
// (abi/calling_convention.h).
#include <cstdint>

#include "abi/calling_convention.h"

// The object that every component library exports as `StaticFactory`.
struct IComponentFactory {
    // Returns a new, independent instance of the named interface ("IADCDevice",
    // "IADCUtility", "IPellumE"), or null. `reserved` is always 0.
    virtual void* QV_CALL CreateInterface(const char* interfaceName, int32_t reserved) = 0;
};

// Name of the factory export that the loader looks up.
inline constexpr const char kFactoryExportName[] = "StaticFactory";
