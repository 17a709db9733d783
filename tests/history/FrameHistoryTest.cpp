// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/CFrameHistory.h"
#include "history/CHistoryBudget.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <thread>

using namespace std::chrono_literals;

namespace
{
thread_local size_t t_allocations = 0;
} // namespace

// Counts this thread's allocations, so a test can see that a steady history takes none.
void* operator new(size_t size)
{
    ++t_allocations;
    void* block = std::malloc(size == 0 ? 1 : size);
    return block != nullptr ? block : throw std::bad_alloc();
}

// The replaced operator new takes its blocks from malloc, so free is their match;
// the compiler sees only the new expression's side.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* block) noexcept
{
    std::free(block);
}

void operator delete(void* block, size_t) noexcept
{
    std::free(block);
}
#pragma GCC diagnostic pop

namespace
{
const std::chrono::steady_clock::time_point kStart{std::chrono::hours(1)};

// A frame whose bytes say which it is.
std::vector<uint8_t> FrameBytes(uint32_t number, size_t size)
{
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
    {
        bytes[i] = static_cast<uint8_t>(number * 31 + i);
    }
    return bytes;
}

void StoreFrame(CFrameHistory& history, uint32_t number, size_t size,
                std::chrono::steady_clock::duration at)
{
    const std::vector<uint8_t> bytes = FrameBytes(number, size);
    HistoryFrameInfo info;
    info.arrived = kStart + at;
    info.arrivedClock = std::chrono::system_clock::time_point{} + at;
    info.channel = 3;
    info.packetLength = static_cast<uint32_t>(size + 80);
    history.Store(bytes.data(), bytes.size(), info);
}

std::chrono::steady_clock::duration Length(const CFrameHistory& history)
{
    const auto span = history.GetSpan();
    return span ? span->last - span->first : std::chrono::steady_clock::duration{};
}
} // namespace

// A superseded receiver's frame stays out; a camera taken over by another connection,
// even one of another budget, brings its frames, sequences and bytes.
TEST(FrameHistoryTest, KeepsFramesAsTheyCameFindsThemAndMovesThemToAnotherBudget)
{
    CHistoryBudget budget(1 << 20);
    CFrameHistory history(budget);
    EXPECT_FALSE(history.GetSpan());
    EXPECT_FALSE(history.FindAt(kStart + 1h));
    const std::vector<uint8_t> refused = FrameBytes(7, 500);
    EXPECT_EQ(history.Store(refused.data(), refused.size(), {}, [] { return false; }), 0u);
    EXPECT_FALSE(history.GetSpan());
    EXPECT_EQ(budget.GetHistoryCount(), 0u);
    for (uint32_t n = 0; n < 10; ++n)
    {
        StoreFrame(history, n, 1000 + n, n * 40ms);
    }
    const auto span = history.GetSpan();
    ASSERT_TRUE(span);
    EXPECT_EQ(10u, span->frames);
    EXPECT_EQ(kStart, span->first);
    EXPECT_EQ(kStart + 360ms, span->last);
    EXPECT_EQ(9u, span->lastSequence - span->firstSequence);

    // The frame shown at a moment is the last that had arrived by then.
    EXPECT_FALSE(history.FindAt(kStart - 1ms));
    const auto at = history.FindAt(kStart + 100ms);
    ASSERT_TRUE(at);
    EXPECT_EQ(kStart + 80ms, at->arrived);
    EXPECT_EQ(3u, at->channel);
    std::vector<uint8_t> copy;
    ASSERT_TRUE(history.CopyFrame(at->sequence, copy));
    EXPECT_EQ(FrameBytes(2, 1002), copy);
    ASSERT_TRUE(history.Find(at->sequence + 1));
    EXPECT_EQ(kStart + 120ms, history.Find(at->sequence + 1)->arrived);
    EXPECT_FALSE(history.Find(span->lastSequence + 1));

    std::vector<uint32_t> sizes;
    auto collect = [&](const HistoryFrameInfo&, const uint8_t*, size_t length)
    { sizes.push_back(static_cast<uint32_t>(length)); };
    EXPECT_EQ(3u, history.ReadAfter(at->sequence, 3, collect));
    EXPECT_EQ(4u, history.ReadBetween(kStart + 80ms, kStart + 200ms, collect));
    EXPECT_EQ((std::vector<uint32_t>{1003, 1004, 1005, 1002, 1003, 1004, 1005}), sizes);

    // A time from before the last frame cannot reorder the search.
    StoreFrame(history, 10, 1010, 0ms);
    const auto before = history.GetSpan();
    EXPECT_EQ(kStart + 360ms, before->last);

    CHistoryBudget other(1 << 20);
    CFrameHistory view(other);
    StoreFrame(view, 9, 3000, 0ms);
    view.TakeFrom(history);
    EXPECT_FALSE(history.GetSpan());
    const auto after = view.GetSpan();
    ASSERT_TRUE(after);
    EXPECT_EQ(after->frames, 11u);
    EXPECT_EQ(after->firstSequence, before->firstSequence);
    EXPECT_EQ(after->bytes, before->bytes);
    EXPECT_EQ(other.GetUsed(), before->bytes);
    EXPECT_EQ(budget.GetUsed(), 0u);
    EXPECT_EQ(other.GetHistoryCount(), 1u);
    EXPECT_EQ(budget.GetHistoryCount(), 0u);
    ASSERT_TRUE(view.CopyFrame(before->firstSequence + 2, copy));
    EXPECT_EQ(copy, FrameBytes(2, 1002));
    StoreFrame(view, 11, 1000, 400ms);
    EXPECT_EQ(view.GetSpan()->lastSequence, before->lastSequence + 1);
    view.TakeFrom(view);
    EXPECT_EQ(view.GetSpan()->frames, 12u);

    view.Reset();
    EXPECT_FALSE(view.GetSpan());
    EXPECT_FALSE(view.Find(before->firstSequence));
    EXPECT_EQ(0u, other.GetUsed());
    EXPECT_EQ(0u, other.GetHistoryCount());
}

// The share is divided among the histories that hold frames: each stays within
// it by at most its newest frame, all keep about the same span, and one that
// resets hands its share to the others.
TEST(FrameHistoryTest, CamerasShareTheBudgetAndKeepTheSameSpan)
{
    constexpr size_t kFrame = 10000;
    CHistoryBudget budget(3 * 100 * kFrame);
    CFrameHistory first(budget);
    CFrameHistory second(budget);
    CFrameHistory third(budget);
    for (uint32_t n = 0; n < 1000; ++n)
    {
        StoreFrame(first, n, kFrame, n * 40ms);
        StoreFrame(second, n, kFrame + n % 7, n * 40ms);
        StoreFrame(third, n, kFrame - n % 5, n * 40ms);
        EXPECT_LE(budget.GetUsed(), budget.GetTotal() + 3 * (kFrame + 7));
    }
    EXPECT_EQ(3u, budget.GetHistoryCount());
    const auto span = Length(first);
    EXPECT_GT(span, 3s);
    for (const CFrameHistory* other : {&second, &third})
    {
        EXPECT_NEAR(std::chrono::duration<double>(span).count(),
                    std::chrono::duration<double>(Length(*other)).count(), 0.1 * 4);
    }

    third.Reset();
    for (uint32_t n = 1000; n < 1400; ++n)
    {
        StoreFrame(first, n, kFrame, n * 40ms);
    }
    EXPECT_GT(Length(first), span * 14 / 10);
    EXPECT_LE(first.GetSpan()->bytes, budget.GetShare() + kFrame);

    // A frame larger than the share still shows: it is kept alone.
    budget.SetTotal(kFrame);
    StoreFrame(first, 2000, 3 * kFrame, 1000s);
    EXPECT_EQ(1u, first.GetSpan()->frames);
}

TEST(FrameHistoryTest, DropsWhatIsOlderThanTheLongestSpanAndStopsAllocatingOnceFull)
{
    CHistoryBudget budget(size_t{1} << 30);
    CFrameHistory history(budget, 60s);
    for (uint32_t n = 0; n < 100; ++n)
    {
        StoreFrame(history, n, 5000, n * 1s);
    }
    EXPECT_EQ(kStart + 39s, history.GetSpan()->first);

    // The frames' source is prepared before counting: only the store is measured.
    const std::vector<uint8_t> bytes = FrameBytes(7, 5000);
    HistoryFrameInfo info;
    const size_t before = t_allocations;
    for (uint32_t n = 100; n < 400; ++n)
    {
        info.arrived = kStart + n * 1s;
        history.Store(bytes.data(), bytes.size(), info);
    }
    EXPECT_EQ(before, t_allocations);
    EXPECT_EQ(61u, history.GetSpan()->frames);
}

// The receiver stores while the GUI thread seeks, copies and resets.
TEST(FrameHistoryTest, ReadersAndResetsWhileTheReceiverStores)
{
    CHistoryBudget budget(200 * 1000);
    CFrameHistory history(budget);
    std::atomic<bool> done{false};
    std::thread receiver(
        [&]
        {
            for (uint32_t n = 0; n < 20000; ++n)
            {
                StoreFrame(history, n, 1000 + n % 50, n * 1ms);
            }
            done = true;
        });
    std::vector<uint8_t> copy;
    size_t resets = 0;
    while (!done)
    {
        if (const auto span = history.GetSpan())
        {
            if (const auto at = history.FindAt(span->first + (span->last - span->first) / 2))
            {
                if (history.CopyFrame(at->sequence, copy))
                {
                    EXPECT_EQ(at->packetLength, copy.size() + 80);
                }
            }
            if (span->lastSequence % 997 == 0 && resets < 5)
            {
                history.Reset();
                ++resets;
            }
        }
    }
    receiver.join();
    const auto span = history.GetSpan();
    ASSERT_TRUE(span);
    EXPECT_LE(span->bytes, budget.GetShare() + 1050);
    EXPECT_EQ(span->bytes, budget.GetUsed());
}
