// A prompt answerer that plays a script: it records every prompt and answers
// from a queue, and with the queue empty answers the default button. Tests
// install it (CPromptAnswererScope) to check which prompts a call shows and
// to choose the user's answers. Prompts may come from any thread.
#pragma once

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/res/MessageBox.h"

class CScriptedAnswerer : public IPromptAnswerer {
public:
    struct Prompt {
        HWND owner;
        std::string text;
        std::string caption;
        UINT flags;
        int answer;
    };

    // The answer of the next prompt that finds no earlier answer queued.
    void QueueAnswer(int answer);
    // Every prompt so far, oldest first.
    std::vector<Prompt> Prompts() const;
    // Answers still queued.
    std::size_t PendingAnswers() const;

    int Answer(HWND owner, const char* text, const char* caption, UINT flags) override;

private:
    mutable std::mutex m_lock;
    std::deque<int> m_answers;
    std::vector<Prompt> m_prompts;
};
