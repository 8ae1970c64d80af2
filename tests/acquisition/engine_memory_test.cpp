// The engine when page memory runs out part of the way through a start, as it
// does for the largest windows of every channel in a 32-bit program. This
// program hands out page memory from a budget of its own: its allocatePages
// and releasePages stand in for the platform's.
#include <cstdint>
#include <cstdlib>
#include <map>

#include "platform/page_memory.h"
#include "tests/acquisition/engine_fixture.h"

namespace {

size_t pageLimit = SIZE_MAX;  // bytes that may be handed out at once
size_t pagesInUse = 0;
std::map<void*, size_t> pageBlocks;  // what is out, and how large

}  // namespace

void* allocatePages(size_t bytes) {
    if (bytes == 0 || bytes > pageLimit - pagesInUse) return nullptr;
    void* pages = std::calloc(1, bytes);
    if (!pages) return nullptr;
    pageBlocks[pages] = bytes;
    pagesInUse += bytes;
    return pages;
}

void releasePages(void* pages, size_t) {
    const auto block = pageBlocks.find(pages);
    if (block == pageBlocks.end()) return;
    pagesInUse -= block->second;
    pageBlocks.erase(block);
    std::free(pages);
}

namespace {

class EngineMemoryTest : public EngineTest {
protected:
    static constexpr int32_t kSmall = 1024;
    static constexpr int32_t kLarge = 65536;

    EngineMemoryTest() {
        settings.sizeArray[0] = kSmall;
        settings.sizeArray[1] = kLarge;
        settings.sizeCount = 2;
        setBoard(32, 32 * 20000.0);
    }
    ~EngineMemoryTest() override { pageLimit = SIZE_MAX; }

    void startWith(int32_t sizeIndex) {
        view.sizeIndex = sizeIndex;
        pressStart();
    }
    int32_t channelsWithWindows() const {
        int32_t n = 0;
        for (int32_t k = 0; k < kChannelRecordCount; ++k) n += engine->channels()[k].hasBuffers() ? 1 : 0;
        return n;
    }
};

// The memory a start with the large window takes at its peak, measured on a
// run without a limit, tells where to put the limit: half of it leaves most
// channel windows out; one byte less than all of it only the plot's scratch
// array (allocated last).
TEST_F(EngineMemoryTest, WhenNotEveryWindowFitsNoChannelKeepsOneAndTheRunGoesOn) {
    const size_t idle = pagesInUse;
    startWith(1);
    ASSERT_EQ(channelsWithWindows(), 32);
    const size_t whole = pagesInUse;
    pressStop();
    startWith(0);
    pressStop();
    ASSERT_EQ(pagesInUse, idle);
    ASSERT_TRUE(dialog.errors.empty());

    struct Case {
        const char* what;
        size_t limit;
    };
    const Case cases[] = {
        {"channel windows", idle + (whole - idle) / 2},
        {"the plot's scratch array", whole - 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        dialog.errors.clear();
        pageLimit = c.limit;
        startWith(1);

        EXPECT_EQ(dialog.errors, std::vector<std::string>{dialogText(kNoMemoryText)});
        EXPECT_TRUE(engine->running());
        EXPECT_EQ(channelsWithWindows(), 0);
        // The windows that had fitted were given back.
        EXPECT_LE(pagesInUse, whole - 32 * (kLarge / 2 * sizeof(double)));

        utility.queueBlock(engine->blockLength(), 32, [](int32_t, int32_t) { return 100; });
        core->onAcquisitionTimer();
        EXPECT_TRUE(engine->running());
        EXPECT_EQ(dialog.errors.size(), 1u);

        // A window that fits runs as usual under the same limit.
        pressStop();
        startWith(0);
        EXPECT_EQ(dialog.errors.size(), 1u);
        EXPECT_EQ(channelsWithWindows(), 32);
        utility.queueBlock(engine->blockLength(), 32, [](int32_t, int32_t channel) { return 1000 + channel; });
        core->onAcquisitionTimer();
        EXPECT_DOUBLE_EQ(engine->channels()[31].max, 1031 * kVoltsPerCount);
        pressStop();
        pageLimit = SIZE_MAX;
    }
}

}  // namespace
