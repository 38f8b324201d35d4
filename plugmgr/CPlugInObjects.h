// What keeps a library built on the plug-in manager loaded: the objects
// its factories made that are still alive, and the class factories'
// server locks.
#pragma once

#include <atomic>

class CPlugInObjects {
public:
    static void Add() { ++s_objects; }
    static void Remove() { --s_objects; }
    static void Lock(bool lock) { lock ? ++s_locks : --s_locks; }
    static bool CanUnload() { return s_objects.load() == 0 && s_locks.load() == 0; }

private:
    static inline std::atomic<long> s_objects{0};
    static inline std::atomic<long> s_locks{0};
};
