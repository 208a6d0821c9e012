#pragma once

#include <QString>

#include <functional>
#include <vector>

namespace kestrava::bench {

struct Spread
{
    double median;
    double p95;
};

Spread spread(std::vector<double> values);
double timedMs(const std::function<void()> &work);
// User plus system time of this process (RUSAGE_SELF) or its ended children.
double cpuSeconds(int who);
// This process's resident memory now, from /proc/self/status; -1 where unknown.
double residentKiB();
// Wire time of so many bytes at the emulated 19200 baud 8N2.
double wireMs(int bytes);
void print(const QString &line);

} // namespace kestrava::bench
