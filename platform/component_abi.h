#pragma once
// Binary conventions shared by the program and the components it loads.
//
// Component objects follow the platform's component-object style: AddRef and
// Release come first, slots are only ever appended, there is no virtual
// destructor and no exception crosses the boundary. The object is the implicit
// first argument of every operation. On Windows operations use __stdcall (which
// only matters in the 32-bit build); natively the default convention is used,
// so the same declarations serve the unit tests' fake components.
#include <cstdint>

#if defined(_WIN32)
#define QV_CALL __stdcall
#else
#define QV_CALL
#endif

// The object that every component library exports as `StaticFactory`.
struct IComponentFactory {
    // Returns a new, independent instance of the named interface ("IADCDevice",
    // "IADCUtility", "IPellumE"), or null. `reserved` is always 0.
    virtual void* QV_CALL CreateInterface(const char* interfaceName, int32_t reserved) = 0;
};

// Name of the factory export that the loader looks up.
inline constexpr const char kFactoryExportName[] = "StaticFactory";
