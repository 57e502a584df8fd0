// Verifies a 16 MiB update file of nine blocks, every other one encrypted, and reports its speed
// and the heap it needs above what the process held before the check.
#include "MainComponent.h"
#include "UpdateFileWriter.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <malloc.h>
#include <new>

namespace
{
std::atomic<std::size_t> heapInUse{0};
std::atomic<std::size_t> heapPeak{0};
} // namespace

// Every allocation passes here: the library's other forms of new and delete call these.

void* operator new(std::size_t size)
{
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr)
        throw std::bad_alloc();
    const auto now = heapInUse += malloc_usable_size(p);
    for (auto peak = heapPeak.load(); now > peak && !heapPeak.compare_exchange_weak(peak, now);)
    {
    }
    return p;
}

void operator delete(void* p) noexcept
{
    if (p != nullptr)
        heapInUse -= malloc_usable_size(p);
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    operator delete(p);
}

namespace
{
constexpr std::size_t fileSize = 16 << 20;
constexpr int blockCount = 9;
constexpr double mebibyte = 1 << 20;

updfile::UpdateFile sixteenMebibyteFile()
{
    updfile::UpdateFile file;
    const std::size_t overhead = 28 + 4 + blockCount * 28;
    const std::size_t blockSize = (fileSize - overhead) / blockCount;
    for (int i = 0; i < blockCount; ++i)
    {
        const std::size_t size =
            i == blockCount - 1 ? fileSize - overhead - blockSize * (blockCount - 1) : blockSize;
        auto data = updfile::patternBytes(size, (std::uint32_t)i);
        file.blocks.push_back(i % 2 == 0 ? updfile::UpdateBlock::encrypted(std::move(data),
                                                                           0x9E3779B9u * (unsigned)i,
                                                                           (std::uint8_t)(i * 31))
                                         : updfile::UpdateBlock::plain(std::move(data)));
    }
    return file;
}

void VerifySixteenMebibyteFile(benchmark::State& state)
{
    juce::TemporaryFile temp(".upd");
    const auto file = sixteenMebibyteFile();
    file.writeTo(temp.getFile());
    const auto path = temp.getFile().getFullPathName();
    const auto size = (std::size_t)temp.getFile().getSize();

    std::size_t peakAboveBaseline = 0;
    for (auto _ : state)
    {
        const std::size_t baseline = heapInUse;
        heapPeak = baseline;
        MainComponent engine(MainComponent::engineOnly);
        const int result = engine.checkUPD(path, &engine.updInfo, engine.fwInfo);
        if (result != (int)file.totalSize())
            state.SkipWithError("the file was refused");
        peakAboveBaseline = std::max(peakAboveBaseline, heapPeak - baseline);
    }

    const double budget = (double)(size + file.totalSize()) + mebibyte;
    state.SetBytesProcessed((std::int64_t)(state.iterations() * size));
    state.counters["file_MiB"] = (double)size / mebibyte;
    state.counters["peak_MiB"] = (double)peakAboveBaseline / mebibyte;
    state.counters["budget_MiB"] = budget / mebibyte;
}
BENCHMARK(VerifySixteenMebibyteFile)->Unit(benchmark::kMillisecond)->MinTime(1.0);
} // namespace

BENCHMARK_MAIN();
