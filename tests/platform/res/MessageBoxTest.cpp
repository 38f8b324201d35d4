#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/res/CScriptedAnswerer.h"
#include "platform/res/MessageBox.h"
#include "platform/res/Resources.h"
#include "resources/ResTestStrings.h"
#include "tests/platform/res/TestModule.h"

namespace {

TEST(PromptService, KeepsTheWindowsNumbers)
{
    EXPECT_EQ(MB_OK, 0u);
    EXPECT_EQ(MB_OKCANCEL, 1u);
    EXPECT_EQ(MB_YESNOCANCEL, 3u);
    EXPECT_EQ(MB_YESNO, 4u);
    EXPECT_EQ(MB_ICONERROR, 0x10u);
    EXPECT_EQ(MB_ICONWARNING, 0x30u);
    EXPECT_EQ(MB_ICONINFORMATION, 0x40u);
    EXPECT_EQ(IDOK, 1);
    EXPECT_EQ(IDCANCEL, 2);
    EXPECT_EQ(IDYES, 6);
    EXPECT_EQ(IDNO, 7);
}

TEST(PromptService, DefaultAnswerIsTheDefaultButton)
{
    const struct {
        UINT flags;
        int answer;
    } cases[] = {
        {MB_OK, IDOK},
        {MB_OK | MB_DEFBUTTON2, IDOK},  // no second button: the first
        {MB_OKCANCEL, IDOK},
        {MB_OKCANCEL | MB_DEFBUTTON2 | MB_ICONWARNING, IDCANCEL},
        {MB_YESNO | MB_ICONWARNING, IDYES},
        {MB_YESNO | MB_DEFBUTTON2, IDNO},
        {MB_YESNOCANCEL | MB_DEFBUTTON2, IDNO},
        {MB_YESNOCANCEL | MB_DEFBUTTON3, IDCANCEL},
        {0x2, 0},  // a button set the service does not offer
    };
    for (const auto& c : cases)
        EXPECT_EQ(DefaultPromptAnswer(c.flags), c.answer) << std::hex << c.flags;
}

TEST(PromptService, WithoutAnAnswererWritesToStderrAndTakesTheDefault)
{
    ::testing::internal::CaptureStderr();
    int answer = MessageBoxA(nullptr, "Delete the take?", "Recorder", MB_YESNO | MB_DEFBUTTON2);
    int untitled = MessageBoxA(nullptr, "Bad thing", nullptr, MB_OK);
    std::string written = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(answer, IDNO);
    EXPECT_EQ(untitled, IDOK);
    EXPECT_EQ(written, "Recorder: Delete the take?\nError: Bad thing\n");
}

TEST(PromptService, ScriptedAnswererRecordsPromptsAndAnswersFromItsQueue)
{
    auto script = std::make_shared<CScriptedAnswerer>();
    CPromptAnswererScope scope(script);
    script->QueueAnswer(IDNO);
    script->QueueAnswer(IDCANCEL);
    auto owner = reinterpret_cast<HWND>(script.get());

    EXPECT_EQ(MessageBoxA(owner, "First?", "One", MB_YESNO), IDNO);
    EXPECT_EQ(MessageBoxA(nullptr, "Second?", "Two", MB_YESNOCANCEL | MB_ICONWARNING), IDCANCEL);
    EXPECT_EQ(script->PendingAnswers(), 0u);
    // Out of answers: the default button, as a user pressing Enter.
    EXPECT_EQ(MessageBoxA(nullptr, "Third?", "Three", MB_OKCANCEL | MB_DEFBUTTON2), IDCANCEL);
    EXPECT_EQ(MessageBoxA(nullptr, nullptr, nullptr, MB_OK), IDOK);

    auto prompts = script->Prompts();
    ASSERT_EQ(prompts.size(), 4u);
    EXPECT_EQ(prompts[0].owner, owner);
    EXPECT_EQ(prompts[0].text, "First?");
    EXPECT_EQ(prompts[0].caption, "One");
    EXPECT_EQ(prompts[0].flags, MB_YESNO);
    EXPECT_EQ(prompts[0].answer, IDNO);
    EXPECT_EQ(prompts[1].flags, MB_YESNOCANCEL | MB_ICONWARNING);
    EXPECT_EQ(prompts[2].text, "Third?");
    EXPECT_EQ(prompts[2].answer, IDCANCEL);
    EXPECT_EQ(prompts[3].text, "");
    EXPECT_EQ(prompts[3].caption, "Error");
}

TEST(PromptService, ScopePutsBackTheAnswererBefore)
{
    auto outer = std::make_shared<CScriptedAnswerer>();
    auto inner = std::make_shared<CScriptedAnswerer>();
    {
        CPromptAnswererScope outerScope(outer);
        {
            CPromptAnswererScope innerScope(inner);
            MessageBoxA(nullptr, "inner", "c", MB_OK);
        }
        MessageBoxA(nullptr, "outer", "c", MB_OK);
    }
    EXPECT_EQ(SetPromptAnswerer(nullptr), nullptr);
    ASSERT_EQ(inner->Prompts().size(), 1u);
    EXPECT_EQ(inner->Prompts()[0].text, "inner");
    ASSERT_EQ(outer->Prompts().size(), 1u);
    EXPECT_EQ(outer->Prompts()[0].text, "outer");
}

TEST(PromptService, AfxMessageBoxIsCaptionedWithTheProgramsName)
{
    auto script = std::make_shared<CScriptedAnswerer>();
    CPromptAnswererScope scope(script);
    script->QueueAnswer(IDYES);
    EXPECT_EQ(AfxMessageBox("Save changes?", MB_YESNO), IDYES);
    EXPECT_EQ(AfxMessageBox("Done."), IDOK);
    auto prompts = script->Prompts();
    ASSERT_EQ(prompts.size(), 2u);
    EXPECT_EQ(prompts[0].caption, "Morvane");
    EXPECT_EQ(prompts[0].owner, nullptr);
    EXPECT_EQ(prompts[1].flags, MB_OK);
}

TEST(PromptService, AfxMessageBoxByIdReadsTheResourceModule)
{
    mvtest::TestModule module;
    ASSERT_TRUE(module.Handle()) << "cannot open " << mvtest::TestModule::Path();
    auto script = std::make_shared<CScriptedAnswerer>();
    CPromptAnswererScope scope(script);

    AfxSetResourceHandle(module.Handle());
    AfxMessageBox(IDS_TEST_HELLO, MB_ICONINFORMATION);
    AfxMessageBox(3u);
    AfxSetResourceHandle(nullptr);
    AfxMessageBox(IDS_TEST_HELLO);

    auto prompts = script->Prompts();
    ASSERT_EQ(prompts.size(), 3u);
    EXPECT_EQ(prompts[0].text, "Hello");
    EXPECT_EQ(prompts[0].flags, MB_ICONINFORMATION);
    EXPECT_EQ(prompts[1].text, "");
    EXPECT_EQ(prompts[2].text, "");  // the program's table has no such text
}

// An answerer that, while answering, uninstalls itself and prompts again, as
// a windowed answerer's modal loop may.
class ReentrantAnswerer : public IPromptAnswerer {
public:
    ReentrantAnswerer(int& nested, std::weak_ptr<ReentrantAnswerer>& self) : m_nested(nested), m_self(self) {}
    int Answer(HWND, const char* text, const char*, UINT) override
    {
        if (std::string(text) == "outer") {
            SetPromptAnswerer(nullptr);
            m_stillAlive = !m_self.expired();
            ::testing::internal::CaptureStderr();
            m_nested = MessageBoxA(nullptr, "nested", "c", MB_YESNO | MB_DEFBUTTON2);
            ::testing::internal::GetCapturedStderr();
        }
        return m_stillAlive ? IDYES : IDCANCEL;
    }

private:
    int& m_nested;
    std::weak_ptr<ReentrantAnswerer>& m_self;
    bool m_stillAlive = false;
};

TEST(PromptService, AnswererMayPromptAgainAndUninstallItselfWhileAnswering)
{
    int nested = 0;
    std::weak_ptr<ReentrantAnswerer> self;
    auto answerer = std::make_shared<ReentrantAnswerer>(nested, self);
    self = answerer;
    SetPromptAnswerer(std::move(answerer));  // only the service holds it now
    EXPECT_EQ(MessageBoxA(nullptr, "outer", "c", MB_YESNO), IDYES);
    EXPECT_EQ(nested, IDNO);
    EXPECT_TRUE(self.expired());
}

TEST(PromptService, PromptsFromManyThreadsWhileAnswerersChange)
{
    auto first = std::make_shared<CScriptedAnswerer>();
    auto second = std::make_shared<CScriptedAnswerer>();
    CPromptAnswererScope scope(first);
    constexpr int kThreads = 4;
    constexpr int kPrompts = 500;
    std::atomic<bool> done{false};
    std::thread swapper([&] {
        for (bool toggle = false; !done; toggle = !toggle)
            SetPromptAnswerer(toggle ? first : second);
    });
    std::vector<std::thread> threads;
    std::atomic<int> answered{0};
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < kPrompts; ++i)
                answered += MessageBoxA(nullptr, "busy", "c", MB_OK) == IDOK;
        });
    for (auto& t : threads)
        t.join();
    done = true;
    swapper.join();
    EXPECT_EQ(answered, kThreads * kPrompts);
    EXPECT_EQ(first->Prompts().size() + second->Prompts().size(), std::size_t{kThreads * kPrompts});
}

}  // namespace
