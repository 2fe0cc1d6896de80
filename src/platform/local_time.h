// Wall-clock time broken down in the user's time zone.
#pragma once

#include <chrono>
#include <ctime>

namespace qm {

// The local calendar time of when (thread-safe).
std::tm localTime(std::chrono::system_clock::time_point when);

}  // namespace qm
