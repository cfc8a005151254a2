#include "runtime/platform.h"

namespace {
constexpr int32_t kNotBegun = 0;
constexpr int32_t kUnderWay = 1;
constexpr int32_t kDone = 2;
} // namespace

// A flag rather than the library's call_once, which brings a threads library
// and exception support into every program that uses it.
void RunOnce(OnceFlag* flag, void (*setUp)()) {
    if (flag->load(std::memory_order_acquire) == kDone) return;
    int32_t expected = kNotBegun;
    if (flag->compare_exchange_strong(expected, kUnderWay, std::memory_order_acq_rel)) {
        setUp();
        flag->store(kDone, std::memory_order_release);
        return;
    }
    while (flag->load(std::memory_order_acquire) != kDone)
        ThreadYield();
}
