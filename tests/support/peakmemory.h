#pragma once

#include <QtGlobal>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>

namespace tovradocs::Testing {

// Memory the process holds now (resident set).
inline qint64 residentBytes()
{
    long pages = 0;
    long resident = 0;
    if (FILE *statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return qint64(resident) * sysconf(_SC_PAGESIZE);
}

// The most the process has held so far.
inline qint64 peakResidentBytes()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return qint64(usage.ru_maxrss) * 1024;
}

// How much memory work may have taken at its peak: the high-water mark after
// it less what was held before. Never less than the truth; more only when an
// earlier part of the run peaked higher.
template<typename Work>
qint64 peakGrowth(Work &&work)
{
    const qint64 before = residentBytes();
    work();
    return peakResidentBytes() - before;
}

constexpr qint64 MiB = 1024 * 1024;

} // namespace tovradocs::Testing
