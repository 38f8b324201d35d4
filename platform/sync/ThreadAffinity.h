// Which thread may call what. The engine has one audio thread at a time (the
// open back-end's) and one UI thread; whoever starts such a thread marks it,
// and entry points that belong to one of them assert it in checked builds.
// A thread nobody marked (a test's main thread, a worker) passes both checks:
// the checks catch a call from the wrong one of the two marked threads, which
// is the fault that glitches audio or races the document.
#pragma once

#include <cstdint>

namespace mv {

// MidiInput: the thread that delivers incoming MIDI messages to their
// receivers; it is neither the audio thread nor the UI thread.
enum class ThreadRole : std::uint8_t { Unmarked, Audio, UI, MidiInput };

// Marks the calling thread; lasts until the thread ends or is marked again.
void MarkCurrentThread(ThreadRole role);
// Audio thread: reads a thread-local, no allocation, no blocking.
ThreadRole CurrentThreadRole();

// Marks the calling thread for a scope and puts back the role it had.
class ScopedThreadRole {
public:
    explicit ScopedThreadRole(ThreadRole role);
    ~ScopedThreadRole();
    ScopedThreadRole(const ScopedThreadRole&) = delete;
    ScopedThreadRole& operator=(const ScopedThreadRole&) = delete;

private:
    ThreadRole previous_;
};

// Reports the broken contract and aborts.
[[noreturn]] void ThreadAffinityFailed(const char* expected, const char* function,
                                       const char* file, int line);

}  // namespace mv

// Checked builds: Debug, or any build configured with MORVANE_THREAD_CHECKS.
#if !defined(NDEBUG) || defined(MORVANE_THREAD_CHECKS)
#define MV_THREAD_CHECKS 1
#define MV_ASSERT_AUDIO_THREAD()                                                        \
    do {                                                                                \
        const ::mv::ThreadRole role_ = ::mv::CurrentThreadRole();                      \
        if (role_ == ::mv::ThreadRole::UI || role_ == ::mv::ThreadRole::MidiInput)      \
            ::mv::ThreadAffinityFailed("the audio thread", __func__, __FILE__, __LINE__); \
    } while (0)
#define MV_ASSERT_UI_THREAD()                                                           \
    do {                                                                                \
        const ::mv::ThreadRole role_ = ::mv::CurrentThreadRole();                      \
        if (role_ == ::mv::ThreadRole::Audio || role_ == ::mv::ThreadRole::MidiInput)   \
            ::mv::ThreadAffinityFailed("the UI thread", __func__, __FILE__, __LINE__);  \
    } while (0)
#define MV_ASSERT_MIDI_INPUT_THREAD()                                                   \
    do {                                                                                \
        const ::mv::ThreadRole role_ = ::mv::CurrentThreadRole();                      \
        if (role_ == ::mv::ThreadRole::Audio || role_ == ::mv::ThreadRole::UI)          \
            ::mv::ThreadAffinityFailed("the MIDI input thread", __func__, __FILE__, __LINE__); \
    } while (0)
#else
#define MV_THREAD_CHECKS 0
#define MV_ASSERT_AUDIO_THREAD() do {} while (0)
#define MV_ASSERT_UI_THREAD() do {} while (0)
#define MV_ASSERT_MIDI_INPUT_THREAD() do {} while (0)
#endif
