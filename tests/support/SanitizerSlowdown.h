// How much slower a sanitizer build runs, for tests that give other threads
// or processes a time limit. A sanitizer tree is an unoptimised build whose
// every memory access is checked (ThreadSanitizer also records each one for
// its race detector), so a wait sized for the plain build runs out there
// before the work it waits for is done. Only limits scale: what a test
// checks when the wait ends stays as strict as in the plain build.
#pragma once

#include <chrono>

#if defined(__SANITIZE_THREAD__)
#define MV_TEST_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define MV_TEST_THREAD_SANITIZER 1
#endif
#endif

#if defined(__SANITIZE_ADDRESS__)
#define MV_TEST_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MV_TEST_ADDRESS_SANITIZER 1
#endif
#endif

namespace mvtest {

#if defined(MV_TEST_THREAD_SANITIZER)
inline constexpr bool kThreadSanitizer = true;
inline constexpr int kSanitizerSlowdown = 10;
#elif defined(MV_TEST_ADDRESS_SANITIZER)
inline constexpr bool kThreadSanitizer = false;
inline constexpr int kSanitizerSlowdown = 3;
#else
inline constexpr bool kThreadSanitizer = false;
inline constexpr int kSanitizerSlowdown = 1;
#endif

// A time limit sized for the plain build, stretched for this build.
template <class Rep, class Period>
constexpr std::chrono::duration<Rep, Period> SanitizerScaled(std::chrono::duration<Rep, Period> limit)
{
    return limit * kSanitizerSlowdown;
}

}  // namespace mvtest
