#pragma once

// Which sanitizer this test binary is built with, for the few tests that a sanitizer's
// runtime cannot follow.

#if defined(__SANITIZE_ADDRESS__)
#define TEST_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TEST_UNDER_ASAN 1
#endif
#endif

#if defined(__SANITIZE_THREAD__)
#define TEST_UNDER_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define TEST_UNDER_TSAN 1
#endif
#endif

// A thread ended by pthread_cancel unwinds without the runtime's knowledge, and the
// AddressSanitizer runtime here then misreads the stale stack poison of the unwound frames
// as an error of its own sigaltstack call (a false report, at random places). Tests that
// cancel threads run in the plain and ThreadSanitizer builds.
#ifdef TEST_UNDER_ASAN
#define SKIP_IF_CANCELLATION_UNSUPPORTED() \
    GTEST_SKIP() << "AddressSanitizer misreports threads that end by cancellation"
#else
#define SKIP_IF_CANCELLATION_UNSUPPORTED() (void)0
#endif
