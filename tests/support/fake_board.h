#pragma once
// A board utility and a board driver for tests of the portable parts. Both
// write every call into an event log (which a test may share with the fake
// dialog, so that one log shows the order of everything), answer with results
// that the test sets, and keep what the program passed in.
//
// Log lines: "Open", "Start <mode>", "Stop", "GetBlock", "ReleaseBlock",
// "Property <code>" ("Property 27 <samples>" and "Property <code> null" for a
// null value), "Control <command> board|list|other|null", "GetProperty <code>".
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "acquisition/board_interface.h"

class FakeUtility final : public IADCUtility {
public:
    explicit FakeUtility(std::vector<std::string>& eventLog) : log(eventLog) {}

    int32_t QV_CALL AddRef() override { return ++references; }
    int32_t QV_CALL Release() override { return --references; }
    int32_t QV_CALL Open(const char* deviceName, int32_t base, int32_t reserved, int32_t blockHint) override {
        log.push_back("Open");
        return openResult;
    }
    int32_t QV_CALL Start(AcquisitionParameters* parameters, int32_t mode) override {
        log.push_back("Start " + std::to_string(mode));
        if (parameters) started = *parameters;
        return startResult;
    }
    int32_t QV_CALL GetBlock(const int16_t** block, int32_t* auxiliary) override {
        log.push_back("GetBlock");
        if (auxiliary) auxiliaryPresets.push_back(*auxiliary);
        if (!block || blocks.empty()) return 0;
        held = std::move(blocks.front());
        blocks.pop_front();
        *block = held.data();
        return 1;
    }
    int32_t QV_CALL ReleaseBlock() override {
        log.push_back("ReleaseBlock");
        // Whatever the caller still points at is no longer valid.
        std::fill(held.begin(), held.end(), int16_t(0x5A5A));
        return 1;
    }
    int32_t QV_CALL Property(int32_t code, void* value) override {
        std::string line = "Property " + std::to_string(code);
        if (!value) {
            log.push_back(line + " null");
            return code == kUtilityPropertyReset ? 1 : 0;
        }
        int32_t v;
        std::memcpy(&v, value, sizeof v);
        presets[code] = v;
        switch (code) {
        case kUtilityPropertyBlockSize:
            log.push_back(line + " " + std::to_string(v));
            blockSamples = v;
            return blockSizeResult;
        case kUtilityPropertyConnected:
            log.push_back(line);
            std::memcpy(value, &connected, sizeof connected);
            return 1;
        case kUtilityPropertyReadyBlocks: {
            log.push_back(line);
            const int32_t ready = readyBlocks >= 0 ? readyBlocks : static_cast<int32_t>(blocks.size());
            std::memcpy(value, &ready, sizeof ready);
            return 1;
        }
        default:
            log.push_back(line);
            return 1;
        }
    }
    int32_t QV_CALL Stop() override {
        log.push_back("Stop");
        return 1;
    }

    // Queues one block: `frames` frames of `channels` codes, code(frame, channel).
    template <class F>
    void queueBlock(int32_t frames, int32_t channels, F code) {
        std::vector<int16_t> block(static_cast<size_t>(frames) * channels);
        for (int32_t j = 0; j < frames; ++j)
            for (int32_t c = 0; c < channels; ++c)
                block[static_cast<size_t>(j) * channels + c] = static_cast<int16_t>(code(j, c));
        blocks.push_back(std::move(block));
    }

    std::vector<std::string>& log;
    // Scripted answers.
    int32_t openResult = 1;
    int32_t startResult = 1;
    int32_t blockSizeResult = 1;
    int32_t connected = 1;                    // written by property 11
    int32_t readyBlocks = -1;                 // written by property 8; < 0: the blocks queued
    std::deque<std::vector<int16_t>> blocks;  // handed out by GetBlock, in order
    // What the program passed.
    AcquisitionParameters started{};        // the record of the last Start
    int32_t blockSamples = 0;               // the value of the last property 27
    std::map<int32_t, int32_t> presets;     // the value found at each property's pointer
    std::vector<int32_t> auxiliaryPresets;  // GetBlock's auxiliary value as passed
    std::vector<int16_t> held;              // the block handed out last
    int32_t references = 1;
};

class FakeDevice final : public IADCDevice {
public:
    explicit FakeDevice(std::vector<std::string>& eventLog) : log(eventLog) {
        board = emptyBoardParameters();
        list.type = kChannelListType;
        list.size = sizeof(ChannelList);
    }

    int32_t QV_CALL AddRef() override { return ++references; }
    int32_t QV_CALL Release() override { return --references; }
    int32_t QV_CALL Control(int32_t command, void* record, int32_t reserved) override {
        std::string line = "Control " + std::to_string(command);
        if (!record) {
            log.push_back(line + " null");
            return 0;
        }
        uint32_t header[2];
        std::memcpy(header, record, sizeof header);
        if (header[0] == kBoardParametersType && header[1] == sizeof(BoardParameters)) {
            log.push_back(line + " board");
            if (command == kControlRead) std::memcpy(record, &board, sizeof board);
            return boardResult;
        }
        if (header[0] == kChannelListType && header[1] == sizeof(ChannelList)) {
            log.push_back(line + " list");
            std::memcpy(&lists[command], record, sizeof(ChannelList));
            if (command == kControlRead) {
                if (listResult > 0) std::memcpy(record, &list, sizeof list);
                return listResult;
            }
            return 1;
        }
        log.push_back(line + " other");
        return 0;
    }
    int32_t QV_CALL GetProperty(int32_t code, void* out) override {
        log.push_back("GetProperty " + std::to_string(code));
        return 0;
    }

    std::vector<std::string>& log;
    // Scripted answers: command 0 copies `board` or `list` into the record.
    BoardParameters board;
    int32_t boardResult = 1;
    ChannelList list{};
    int32_t listResult = 1;  // a result <= 0 leaves the record as passed
    // The channel list records as the program passed them, by command.
    std::map<int32_t, ChannelList> lists;
    int32_t references = 1;
};
