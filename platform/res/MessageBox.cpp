#include "platform/res/MessageBox.h"

#include <cstdio>
#include <mutex>

#include "platform/res/Resources.h"

namespace {

std::mutex g_answererLock;
std::shared_ptr<IPromptAnswerer> g_answerer;

std::shared_ptr<IPromptAnswerer> CurrentAnswerer()
{
    std::lock_guard<std::mutex> hold(g_answererLock);
    return g_answerer;
}

}  // namespace

std::shared_ptr<IPromptAnswerer> SetPromptAnswerer(std::shared_ptr<IPromptAnswerer> answerer)
{
    std::lock_guard<std::mutex> hold(g_answererLock);
    g_answerer.swap(answerer);
    return answerer;
}

int DefaultPromptAnswer(UINT flags)
{
    static constexpr int kOk[] = {IDOK};
    static constexpr int kOkCancel[] = {IDOK, IDCANCEL};
    static constexpr int kYesNoCancel[] = {IDYES, IDNO, IDCANCEL};
    static constexpr int kYesNo[] = {IDYES, IDNO};
    const int* buttons = nullptr;
    UINT count = 0;
    switch (flags & MB_TYPEMASK) {
    case MB_OK:
        buttons = kOk, count = 1;
        break;
    case MB_OKCANCEL:
        buttons = kOkCancel, count = 2;
        break;
    case MB_YESNOCANCEL:
        buttons = kYesNoCancel, count = 3;
        break;
    case MB_YESNO:
        buttons = kYesNo, count = 2;
        break;
    default:
        return 0;
    }
    UINT index = (flags & MB_DEFMASK) >> 8;
    return buttons[index < count ? index : 0];
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT flags)
{
    if (!text)
        text = "";
    if (!caption)
        caption = "Error";
    // Answered outside the lock: an answerer may run a modal loop that prompts again.
    if (std::shared_ptr<IPromptAnswerer> answerer = CurrentAnswerer())
        return answerer->Answer(owner, text, caption, flags);
    int answer = DefaultPromptAnswer(flags);
    std::fprintf(stderr, "%s: %s\n", caption, text);
    return answer;
}

int AfxMessageBox(LPCSTR text, UINT flags)
{
    const char* name = nullptr;
    if (!mvres::QueryVersionValue(AfxGetInstanceHandle(), "\\StringFileInfo\\040904b0\\ProductName", &name))
        name = "";
    return MessageBoxA(nullptr, text, name, flags);
}

int AfxMessageBox(UINT textId, UINT flags)
{
    return AfxMessageBox(mvres::FindStringResource(AfxGetResourceHandle(), textId), flags);
}
