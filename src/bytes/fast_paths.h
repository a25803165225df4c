// The switch between the scan's shortcuts and their general twins. Every
// shortcut (a SIMD mask or word trick, the usual ROM line read off at once,
// the one-pass search of the ROM keywords, pieces cut from LF bit masks)
// gives exactly the bytes its twin gives; with the general paths chosen,
// only the twins run, so that the tests and the fuzzer can compare the two.
// The tool itself never turns the shortcuts off: its build has them fixed.
#pragma once

#ifdef SOFTLIST2DAT_SHORTCUTS_ALWAYS

// The tool's own build: the shortcuts are always on, and the switch costs
// nothing.
constexpr bool fastPathsOn()
{
    return true;
}

#else

namespace fast_paths_detail {
inline bool generalOnly = false;
}

// True unless the general paths were chosen.
inline bool fastPathsOn()
{
    return !fast_paths_detail::generalOnly;
}

// Chooses the general twins (true) or the shortcuts (false, the default),
// between conversions.
inline void useGeneralPathsOnly(bool general)
{
    fast_paths_detail::generalOnly = general;
}

#endif
