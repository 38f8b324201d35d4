#include "platform/res/CScriptedAnswerer.h"

void CScriptedAnswerer::QueueAnswer(int answer)
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_answers.push_back(answer);
}

std::vector<CScriptedAnswerer::Prompt> CScriptedAnswerer::Prompts() const
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_prompts;
}

std::size_t CScriptedAnswerer::PendingAnswers() const
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_answers.size();
}

int CScriptedAnswerer::Answer(HWND owner, const char* text, const char* caption, UINT flags)
{
    std::lock_guard<std::mutex> hold(m_lock);
    int answer = DefaultPromptAnswer(flags);
    if (!m_answers.empty()) {
        answer = m_answers.front();
        m_answers.pop_front();
    }
    m_prompts.push_back({owner, text, caption, flags, answer});
    return answer;
}
