#ifndef _TESTS_SANITIZER_BUILD_H
#define _TESTS_SANITIZER_BUILD_H

// Which sanitizer the tests were built with: the compilers say so in
// different ways (GCC defines __SANITIZE_*__, Clang answers __has_feature).

#if defined(__has_feature)
#define KESTROVAN_HAS_FEATURE(feature) __has_feature(feature)
#else
#define KESTROVAN_HAS_FEATURE(feature) 0
#endif

inline bool
built_with_address_sanitizer()
{
#if defined(__SANITIZE_ADDRESS__) || KESTROVAN_HAS_FEATURE(address_sanitizer)
	return true;
#else
	return false;
#endif
}

inline bool
built_with_thread_sanitizer()
{
#if defined(__SANITIZE_THREAD__) || KESTROVAN_HAS_FEATURE(thread_sanitizer)
	return true;
#else
	return false;
#endif
}

// Either: instrumented programs are larger and slower.
inline bool
built_with_sanitizers()
{
	return built_with_address_sanitizer() || built_with_thread_sanitizer();
}

#undef KESTROVAN_HAS_FEATURE

#endif // _TESTS_SANITIZER_BUILD_H
