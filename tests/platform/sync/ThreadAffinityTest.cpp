#include "platform/sync/ThreadAffinity.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

void AudioEntry() { MV_ASSERT_AUDIO_THREAD(); }
void UiEntry() { MV_ASSERT_UI_THREAD(); }

}  // namespace

TEST(ThreadAffinity, MarksAreThreadLocalAndScoped) {
    EXPECT_EQ(mv::CurrentThreadRole(), mv::ThreadRole::Unmarked);
    {
        mv::ScopedThreadRole ui(mv::ThreadRole::UI);
        EXPECT_EQ(mv::CurrentThreadRole(), mv::ThreadRole::UI);
        mv::ThreadRole seen = mv::ThreadRole::UI;
        std::thread([&] { seen = mv::CurrentThreadRole(); }).join();
        EXPECT_EQ(seen, mv::ThreadRole::Unmarked);
    }
    EXPECT_EQ(mv::CurrentThreadRole(), mv::ThreadRole::Unmarked);
}

TEST(ThreadAffinity, EntriesPassOnTheirOwnAndOnUnmarkedThreads) {
    AudioEntry();
    UiEntry();
    std::thread([] {
        mv::MarkCurrentThread(mv::ThreadRole::Audio);
        AudioEntry();
    }).join();
    mv::ScopedThreadRole ui(mv::ThreadRole::UI);
    UiEntry();
}

#if MV_THREAD_CHECKS
TEST(ThreadAffinityDeathTest, AWrongThreadAbortsNamingTheContract) {
    EXPECT_DEATH(
        {
            mv::MarkCurrentThread(mv::ThreadRole::UI);
            AudioEntry();
        },
        "AudioEntry belongs to the audio thread but was called on the UI thread");
    EXPECT_DEATH(
        {
            mv::MarkCurrentThread(mv::ThreadRole::Audio);
            UiEntry();
        },
        "UiEntry belongs to the UI thread but was called on the audio thread");
}
#endif
