#pragma once

#include <QtGlobal>

#include <algorithm>
#include <vector>

// The middle of a run of timings; the benches compare medians, which one
// disturbed round does not move.
inline qint64 median(std::vector<qint64> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}
