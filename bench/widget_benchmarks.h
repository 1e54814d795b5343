#pragma once

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <ctime>

namespace quillet::bench {

// CPU time of the calling thread: what it computed, without the time other threads or
// programs held the core it waited for.
inline qint64 threadCpuNanoseconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// The longest the GUI thread was busy at a stretch, each piece of work measured alone, in wall
// time and in the thread's own CPU time (which a busy machine does not inflate).
struct LongestStretch {
    qint64 wall = 0;
    qint64 cpu = 0;

    template <typename Work> void measure(Work &&work)
    {
        QElapsedTimer timer;
        const qint64 cpuStart = threadCpuNanoseconds();
        timer.start();
        work();
        wall = std::max(wall, timer.nsecsElapsed());
        cpu = std::max(cpu, threadCpuNanoseconds() - cpuStart);
    }
    void report(benchmark::State &state) const
    {
        state.counters["longest_gui_ms"] = double(wall) / 1e6;
        state.counters["longest_gui_cpu_ms"] = double(cpu) / 1e6;
    }
};

// The main of a benchmark program that measures widgets: they need a platform, not a display.
inline int runWidgetBenchmarks(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace quillet::bench
