// Feeds arbitrary bytes to the dock state's reader as a saved state. What it
// accepts must be a state the frame can trust: every docked bar in exactly
// one side's rows, rows that start and end, and bytes that read back the
// same after being saved again. A crash, a sanitizer report or a state that
// does not survive its own save stops the run.
#include <cstdint>
#include <cstdlib>
#include <set>

#include "platform/ui/CDockState.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CDockState state;
    if (!state.Load(data, size)) {
        if (!state.m_arrBarInfo.empty() || !state.m_arrDockBars.empty())
            std::abort();
        return 0;
    }
    std::set<UINT> docked;
    for (const CDockBarInfo& d : state.m_arrDockBars) {
        if (d.m_arrBarID.empty() || d.m_arrBarID.front() != 0 || d.m_arrBarID.back() != 0)
            std::abort();
        for (UINT id : d.m_arrBarID)
            if (id && !docked.insert(id).second)
                std::abort();
    }
    for (const CControlBarInfo& b : state.m_arrBarInfo) {
        if (!b.m_bFloating && !docked.count(b.m_nBarID))
            std::abort();
        const CPoint p = state.ScalePoint(b.m_pointPos);
        if (!state.m_rectClip.PtInRect(p))
            std::abort();
    }
    const std::vector<BYTE> saved = state.Save();
    CDockState again;
    if (!again.Load(saved.data(), saved.size()) || again.Save() != saved)
        std::abort();
    return 0;
}
