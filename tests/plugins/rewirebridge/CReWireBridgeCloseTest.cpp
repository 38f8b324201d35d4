// The last bridge to go closes the ReWire system; while the engine says it
// may not close yet, the user is asked whether to give it more time.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <mutex>
#include <string>
#include <vector>

#include "platform/res/MessageBox.h"
#include "tests/plugins/rewirebridge/PlenthHarness.h"

namespace {

using namespace plenthtest;

// Answers from a list; at its answer `letCloseAt` the engine starts to agree.
class CloseAnswerer : public IPromptAnswerer {
public:
    CloseAnswerer(std::vector<int> answers, int letCloseAt, void (*setCloseOK)(int))
        : m_answers(std::move(answers)), m_letCloseAt(letCloseAt), m_setCloseOK(setCloseOK)
    {
    }
    int Answer(HWND, const char* text, const char* caption, UINT flags) override
    {
        std::lock_guard guard(m_lock);
        texts.push_back(text);
        EXPECT_STREQ(kBridgeFilterName, caption);
        EXPECT_EQ(static_cast<UINT>(MB_YESNO), flags & MB_TYPEMASK);
        EXPECT_EQ(IDNO, DefaultPromptAnswer(flags)) << "an unanswered prompt closes";
        const std::size_t n = texts.size() - 1;
        if (static_cast<int>(n) == m_letCloseAt)
            m_setCloseOK(1);
        return n < m_answers.size() ? m_answers[n] : IDNO;
    }
    std::vector<std::string> texts;

private:
    std::mutex m_lock;
    std::vector<int> m_answers;
    int m_letCloseAt;
    void (*m_setCloseOK)(int);
};

TEST_F(PlenthHarness, TheLastBridgeAsksTheUserWhileTheSystemMayNotCloseYet)
{
    engine = MVTEST_FAKE_ENGINE;
    Install(true);
    struct Case {
        const char* what;
        std::vector<int> answers;
        int letCloseAt;  // -1: the engine never agrees
        std::size_t prompts;
        int engineAsks;
    } const table[] = {
        {"Yes, then No: closed anyway", {IDYES, IDNO}, -1, 2, 3},
        {"Yes, and the engine agrees meanwhile", {IDYES}, 0, 1, 3},
    };
    for (const Case& c : table) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(S_OK, Create());
        void* library = dlopen(folder.File("ReWire.so").c_str(), RTLD_NOW | RTLD_NOLOAD);
        ASSERT_NE(nullptr, library);
        reinterpret_cast<void (*)()>(dlsym(library, "FakeEngineReset"))();
        auto setCloseOK = reinterpret_cast<void (*)(int)>(dlsym(library, "FakeEngineSetCloseOK"));
        setCloseOK(0);
        auto answerer = std::make_shared<CloseAnswerer>(c.answers, c.letCloseAt, setCloseOK);
        {
            CPromptAnswererScope scope(answerer);
            bridgeFilter->Release();
            bridgeFilter = nullptr;
        }
        ASSERT_EQ(c.prompts, answerer->texts.size());
        for (const std::string& text : answerer->texts)
            EXPECT_EQ("Cannot close ReWire system yet.  Try again?", text);
        EXPECT_EQ(c.engineAsks, reinterpret_cast<int (*)()>(dlsym(library, "FakeEngineCloseAsks"))());
        EXPECT_FALSE(reinterpret_cast<bool (*)()>(dlsym(library, "FakeEngineIsOpen"))());
        dlclose(library);
    }
}

}  // namespace
