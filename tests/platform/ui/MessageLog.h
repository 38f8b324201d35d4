// A window that logs every message it receives, and lets a test add
// behaviour to one message (take the capture on a press, kill a timer from
// its own handler) before the normal handling.
#pragma once

#include <functional>
#include <map>
#include <vector>

#include "platform/ui/CWnd.h"

namespace mvtest {

struct LoggedMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

class LogWnd : public CWnd {
public:
    std::vector<LoggedMessage> log;
    std::map<UINT, std::function<void(WPARAM, LPARAM)>> on;

    // The logged messages of the given kinds, in order.
    std::vector<UINT> Only(std::initializer_list<UINT> kinds) const
    {
        std::vector<UINT> r;
        for (const LoggedMessage& m : log)
            for (UINT k : kinds)
                if (m.message == k)
                    r.push_back(m.message);
        return r;
    }
    // The WM_COMMAND codes logged from control `id`, in order.
    std::vector<WORD> CommandCodes(UINT id) const
    {
        std::vector<WORD> codes;
        for (const LoggedMessage& m : log)
            if (m.message == WM_COMMAND && LOWORD(m.wParam) == id)
                codes.push_back(HIWORD(m.wParam));
        return codes;
    }
    const LoggedMessage* Last(UINT message) const
    {
        for (auto it = log.rbegin(); it != log.rend(); ++it)
            if (it->message == message)
                return &*it;
        return nullptr;
    }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        log.push_back({message, wParam, lParam});
        if (auto it = on.find(message); it != on.end())
            it->second(wParam, lParam);
        return CWnd::WindowProc(message, wParam, lParam);
    }
};

}  // namespace mvtest
