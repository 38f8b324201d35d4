// Base of everything that takes commands: windows, documents, the
// application. A command id travels through OnCmdMsg along the route the
// frame sets (view, document, frame, application); each class answers from
// its own table and passes the rest to its base. Code CN_COMMAND runs the
// handler; CN_UPDATE_COMMAND_UI asks the update handler to set a CCmdUI.
// UI thread only.
#pragma once

#include <vector>

#include "platform/win/WinTypes.h"

class CCmdUI;

constexpr int CN_COMMAND = 0;
constexpr int CN_UPDATE_COMMAND_UI = -1;

class CCmdTarget {
public:
    virtual ~CCmdTarget() = default;
    // TRUE when this target (or one it routes to) has a handler for the id;
    // with CN_COMMAND the handler ran, with CN_UPDATE_COMMAND_UI `extra` is
    // the CCmdUI the update handler filled.
    virtual BOOL OnCmdMsg(UINT id, int code, void* extra);
};

// One class's commands: an id or an id range, the handler, the update
// handler (either may be missing). A class keeps one as a static and answers
// OnCmdMsg with Dispatch(this, ...) before passing on to its base.
template <class T>
class CommandTable {
public:
    using Handler = void (T::*)();
    using RangeHandler = void (T::*)(UINT id);
    using UpdateHandler = void (T::*)(CCmdUI* ui);

    struct Entry {
        UINT first;
        UINT last;
        Handler handler;
        RangeHandler rangeHandler;
        UpdateHandler update;
    };

    CommandTable& On(UINT id, Handler h, UpdateHandler u = nullptr)
    {
        m_entries.push_back({id, id, h, nullptr, u});
        return *this;
    }
    CommandTable& OnRange(UINT first, UINT last, RangeHandler h, UpdateHandler u = nullptr)
    {
        m_entries.push_back({first, last, nullptr, h, u});
        return *this;
    }
    CommandTable& OnUpdate(UINT id, UpdateHandler u)
    {
        m_entries.push_back({id, id, nullptr, nullptr, u});
        return *this;
    }

    BOOL Dispatch(T* target, UINT id, int code, void* extra) const;

private:
    std::vector<Entry> m_entries;
};

#include "platform/ui/CCmdUI.h"

template <class T>
BOOL CommandTable<T>::Dispatch(T* target, UINT id, int code, void* extra) const
{
    for (const Entry& e : m_entries) {
        if (id < e.first || id > e.last)
            continue;
        if (code == CN_UPDATE_COMMAND_UI) {
            if (!e.update)
                continue;
            auto* ui = static_cast<CCmdUI*>(extra);
            ui->m_nID = id;
            (target->*e.update)(ui);
            ui->m_bHandled = TRUE;
            return TRUE;
        }
        if (code == CN_COMMAND) {
            if (e.handler) {
                (target->*e.handler)();
                return TRUE;
            }
            if (e.rangeHandler) {
                (target->*e.rangeHandler)(id);
                return TRUE;
            }
        }
    }
    return FALSE;
}
