// A component library written from the component tables alone, for the
// tests: it serves IADCDevice, IADCUtility and IPellumE and writes every call
// it receives, with its arguments as the tables give them, into a text log
// that the export ContractProbeLog hands out. Nothing here comes from the
// program's headers: the objects are plain records whose first word points
// at a table of __stdcall functions that take the object first, in the
// order of the tables, which is what a component built with any compiler
// sees.
#include <windows.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#define PROBE_CALL __stdcall

namespace {

std::string callLog;

void note(const char* format, ...) {
    char line[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    callLog += line;
    callLog += '\n';
}

// Every record the board components take begins with its type and size.
void noteRecord(const char* call, int32_t command, const void* record, int32_t last) {
    uint32_t head[2] = {0, 0};
    if (record) std::memcpy(head, record, sizeof head);
    note("%s %d record %u/%u %d", call, command, head[0], head[1], last);
}

// ---- IADCDevice: AddRef, Release, Control, GetProperty ----

struct Device;
struct DeviceTable {
    int32_t(PROBE_CALL* addRef)(Device*);
    int32_t(PROBE_CALL* release)(Device*);
    int32_t(PROBE_CALL* control)(Device*, int32_t command, void* record, int32_t zero);
    int32_t(PROBE_CALL* getProperty)(Device*, int32_t code, void* out);
};
struct Device {
    const DeviceTable* table;
};

// The capability words that the program accepts.
const uint32_t capabilities[3] = {0, 0x300, 0x3000004};

int32_t PROBE_CALL deviceAddRef(Device*) {
    note("device AddRef");
    return 2;
}
int32_t PROBE_CALL deviceRelease(Device*) {
    note("device Release");
    return 1;
}
int32_t PROBE_CALL deviceControl(Device*, int32_t command, void* record, int32_t zero) {
    noteRecord("device Control", command, record, zero);
    uint32_t head[2] = {0, 0};
    if (record) std::memcpy(head, record, sizeof head);
    if (command == 0 && head[0] == 190 && head[1] == 1908) {
        const uint32_t one = 1;  // one channel, shown, gain 1, physical channel 0
        std::memcpy(static_cast<char*>(record) + 8, &one, 4);
        static_cast<char*>(record)[60 + 8] = 1;
        std::memcpy(static_cast<char*>(record) + 1340, &one, 4);
    }
    if (command == 0 && head[0] == 191 && head[1] == 268) {
        const uint32_t count = 1, entry = (1u << 24) | 0x0000FF;
        std::memcpy(static_cast<char*>(record) + 8, &count, 4);
        std::memcpy(static_cast<char*>(record) + 12, &entry, 4);
        return 1;
    }
    return 1;
}
int32_t PROBE_CALL deviceGetProperty(Device*, int32_t code, void* out) {
    note("device GetProperty %d", code);
    if (code == 17) {
        const uint32_t ready = 1;
        std::memcpy(out, &ready, 4);
    } else if (code == 21) {
        const void* record = capabilities;
        std::memcpy(out, &record, sizeof record);
    } else if (code == 53) {
        const float fullScale = 10.0f;
        std::memcpy(out, &fullScale, 4);
    }
    return 1;
}
const DeviceTable deviceTable = {deviceAddRef, deviceRelease, deviceControl, deviceGetProperty};
Device device = {&deviceTable};

// ---- IADCUtility: AddRef, Release, Open, Start, GetBlock, ReleaseBlock, Property, Stop ----

struct Utility;
struct UtilityTable {
    int32_t(PROBE_CALL* addRef)(Utility*);
    int32_t(PROBE_CALL* release)(Utility*);
    int32_t(PROBE_CALL* open)(Utility*, const char* device, int32_t base, int32_t zero, int32_t hint);
    int32_t(PROBE_CALL* start)(Utility*, void* parameters, int32_t mode);
    int32_t(PROBE_CALL* getBlock)(Utility*, const int16_t** block, int32_t* auxiliary);
    int32_t(PROBE_CALL* releaseBlock)(Utility*);
    int32_t(PROBE_CALL* property)(Utility*, int32_t code, int32_t* value);
    int32_t(PROBE_CALL* stop)(Utility*);
};
struct Utility {
    const UtilityTable* table;
};

int16_t block[1 << 16];
int32_t blockSamples = 0;

int32_t PROBE_CALL utilityAddRef(Utility*) { return 2; }
int32_t PROBE_CALL utilityRelease(Utility*) {
    note("utility Release");
    return 1;
}
int32_t PROBE_CALL utilityOpen(Utility*, const char* name, int32_t base, int32_t zero, int32_t hint) {
    note("utility Open %s %d %d %d", name ? name : "(null)", base, zero, hint);
    return 1;
}
int32_t PROBE_CALL utilityStart(Utility*, void* parameters, int32_t mode) {
    noteRecord("utility Start", 0, parameters, mode);
    return 1;
}
int32_t PROBE_CALL utilityGetBlock(Utility*, const int16_t** out, int32_t* auxiliary) {
    note("utility GetBlock aux %d", auxiliary ? *auxiliary : -99);
    *out = block;
    return 1;
}
int32_t PROBE_CALL utilityReleaseBlock(Utility*) {
    note("utility ReleaseBlock");
    return 1;
}
int32_t PROBE_CALL utilityProperty(Utility*, int32_t code, int32_t* value) {
    if (code == 100) {
        // The value is the program's pointer to its IADCDevice field.
        note("utility Property 100");
        Device* handedOut = &device;
        std::memcpy(value, &handedOut, sizeof handedOut);
        return 1;
    }
    note("utility Property %d %d", code, value ? *value : -99);
    if (code == 27 && value) blockSamples = *value;
    if (code == 11 && value) *value = 1;
    if (code == 8 && value) *value = blockSamples > 0 && blockSamples <= (1 << 16) ? 1 : 0;
    return 1;
}
int32_t PROBE_CALL utilityStop(Utility*) {
    note("utility Stop");
    return 1;
}
const UtilityTable utilityTable = {utilityAddRef,   utilityRelease,      utilityOpen,     utilityStart,
                                   utilityGetBlock, utilityReleaseBlock, utilityProperty, utilityStop};
Utility utility = {&utilityTable};

// ---- IPellumE: positions 1 to 11 ----

struct Plot;
struct PlotTable {
    int32_t(PROBE_CALL* addRef)(Plot*);
    int32_t(PROBE_CALL* release)(Plot*);
    int32_t(PROBE_CALL* setStyle)(Plot*, const void* style);
    int32_t(PROBE_CALL* setProperty)(Plot*, int32_t code, const void* value);
    int32_t(PROBE_CALL* beginDraw)(Plot*, void* dc, const RECT* client, const float* range, int32_t points,
                                   int32_t zero1, int32_t zero2);
    int32_t(PROBE_CALL* unused6)(Plot*);
    int32_t(PROBE_CALL* unused7)(Plot*);
    int32_t(PROBE_CALL* drawCurve)(Plot*, const float* values, int32_t count, int32_t one, int32_t zero1,
                                   const uint32_t* colour, int32_t zero2, const void* markers, int32_t zero3);
    int32_t(PROBE_CALL* endDraw)(Plot*);
    int32_t(PROBE_CALL* onMouseMove)(Plot*, const RECT* client, int32_t keys, int32_t point);
    int32_t(PROBE_CALL* onMouseButton)(Plot*, const RECT* client, int32_t button, int32_t point, int32_t kind);
};
struct Plot {
    const PlotTable* table;
    const char* name;
};

int32_t PROBE_CALL plotAddRef(Plot*) { return 2; }
int32_t PROBE_CALL plotRelease(Plot* p) {
    note("%s Release", p->name);
    return 1;
}
int32_t PROBE_CALL plotSetStyle(Plot* p, const void* style) {
    int32_t version = 0;
    if (style) std::memcpy(&version, style, 4);
    note("%s SetStyle %d", p->name, version);
    return 1;
}
int32_t PROBE_CALL plotSetProperty(Plot* p, int32_t code, const void* value) {
    if (code == 3 || code == 4) {
        note("%s SetProperty %d '%s'", p->name, code, static_cast<const char*>(value));
    } else {
        int32_t first = 0;
        if (value) std::memcpy(&first, value, 4);
        note("%s SetProperty %d %d", p->name, code, first);
    }
    return 1;
}
int32_t PROBE_CALL plotBeginDraw(Plot* p, void* dc, const RECT* client, const float* range, int32_t points,
                                 int32_t zero1, int32_t zero2) {
    note("%s BeginDraw dc %d client %ldx%ld range %g..%g points %d %d %d", p->name, dc != nullptr ? 1 : 0,
         client ? client->right - client->left : -1L, client ? client->bottom - client->top : -1L,
         range ? range[0] : -1.0, range ? range[1] : -1.0, points, zero1, zero2);
    return 1;
}
int32_t PROBE_CALL plotUnused(Plot* p) {
    note("%s unused position called", p->name);
    return 0;
}
int32_t PROBE_CALL plotDrawCurve(Plot* p, const float*, int32_t count, int32_t one, int32_t zero1,
                                 const uint32_t* colour, int32_t zero2, const void* markers, int32_t zero3) {
    note("%s DrawCurve %d %d %d colour %06X %d markers %d %d", p->name, count, one, zero1,
         colour ? *colour : 0xFFFFFFFFu, zero2, markers != nullptr ? 1 : 0, zero3);
    return 1;
}
int32_t PROBE_CALL plotEndDraw(Plot* p) {
    note("%s EndDraw", p->name);
    return 1;
}
int32_t PROBE_CALL plotOnMouseMove(Plot* p, const RECT* client, int32_t keys, int32_t point) {
    note("%s OnMouseMove %ldx%ld keys %d point %08X", p->name, client ? client->right : -1L,
         client ? client->bottom : -1L, keys, static_cast<uint32_t>(point));
    return 0;
}
int32_t PROBE_CALL plotOnMouseButton(Plot* p, const RECT* client, int32_t button, int32_t point, int32_t kind) {
    note("%s OnMouseButton %ldx%ld button %d point %08X kind %d", p->name, client ? client->right : -1L,
         client ? client->bottom : -1L, button, static_cast<uint32_t>(point), kind);
    return 0;
}
const PlotTable plotTable = {plotAddRef, plotRelease,   plotSetStyle, plotSetProperty, plotBeginDraw,    plotUnused,
                             plotUnused, plotDrawCurve, plotEndDraw,  plotOnMouseMove, plotOnMouseButton};
Plot plots[2] = {{&plotTable, "plot1"}, {&plotTable, "plot2"}};
int plotsHandedOut = 0;

// ---- The factory: CreateInterface(name, reserved) ----

struct Factory;
struct FactoryTable {
    void*(PROBE_CALL* createInterface)(Factory*, const char* name, int32_t reserved);
};
struct Factory {
    const FactoryTable* table;
};

void* PROBE_CALL createInterface(Factory*, const char* name, int32_t reserved) {
    note("CreateInterface %s %d", name ? name : "(null)", reserved);
    if (!name) return nullptr;
    if (std::strcmp(name, "IADCDevice") == 0) return &device;
    if (std::strcmp(name, "IADCUtility") == 0) return &utility;
    if (std::strcmp(name, "IPellumE") == 0 && plotsHandedOut < 2) return &plots[plotsHandedOut++];
    return nullptr;
}
const FactoryTable factoryTable = {createInterface};

}  // namespace

extern "C" {
__declspec(dllexport) Factory StaticFactory = {&factoryTable};

// The calls received since the library was loaded or the log was last
// taken, one line each; taking it empties it.
__declspec(dllexport) const char* ContractProbeLog() {
    static std::string taken;
    taken.swap(callLog);
    callLog.clear();
    return taken.c_str();
}
}
