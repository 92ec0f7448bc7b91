#include "Figures.h"

#include <QtGlobal>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <random>
#include <sys/resource.h>
#include <unistd.h>

namespace figures {

void report(const char* name, double value, const char* unit)
{
    if (value == std::floor(value) && std::fabs(value) < 1e12)
        std::printf("%s %.0f %s\n", name, value, unit);
    else
        std::printf("%s %.4g %s\n", name, value, unit);
    std::fflush(stdout);
}

double quantile(std::vector<double> samples, double p)
{
    if (samples.empty())
        return 0.0;
    const auto rank =
        static_cast<std::size_t>(std::clamp(std::ceil(p * static_cast<double>(samples.size())), 1.0,
                                            static_cast<double>(samples.size())));
    std::nth_element(samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(rank - 1),
                     samples.end());
    return samples[rank - 1];
}

double median(std::vector<double> samples)
{
    return quantile(std::move(samples), 0.5);
}

std::int64_t nowNs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double residentBytes()
{
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (!statm)
        return 0.0;
    long size = 0;
    long resident = 0;
    const int got = std::fscanf(statm, "%ld %ld", &size, &resident);
    std::fclose(statm);
    return got == 2 ? static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE))
                    : 0.0;
}

QByteArray image(qsizetype size, std::uint32_t seed)
{
    std::mt19937 random(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& b : bytes)
        b = static_cast<char>(random() & 0xFF);
    return bytes;
}

void useOffscreenPlatform()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

} // namespace figures
