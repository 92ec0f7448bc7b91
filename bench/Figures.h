#pragma once

#include <QByteArray>
#include <cstdint>
#include <vector>

// What every benchmark here shares: its figures go to stdout as "name value unit" lines,
// one per figure, so a script can pick them up; clocks and CPU time as they read them.
namespace figures {

void report(const char* name, double value, const char* unit);
// The p-quantile (0..1) of the samples, nearest rank.
[[nodiscard]] double quantile(std::vector<double> samples, double p);
[[nodiscard]] double median(std::vector<double> samples);

// Monotonic time in nanoseconds.
[[nodiscard]] std::int64_t nowNs();
// CPU time, user and system together, of the whole process so far.
[[nodiscard]] double processCpuSeconds();
// Resident memory of the process.
[[nodiscard]] double residentBytes();

// An image of the given size whose bytes look like firmware: every value, no pattern the
// link could mistake for anything.
[[nodiscard]] QByteArray image(qsizetype size, std::uint32_t seed = 1);

// Makes the Qt platform offscreen unless the caller chose one.
void useOffscreenPlatform();

} // namespace figures
