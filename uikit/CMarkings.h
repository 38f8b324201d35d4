// The scale markings of a fader: labelled values drawn as ticks and texts.
#pragma once

#include <vector>

#include "platform/win/CString.h"

class CMarkings {
public:
    struct Mark {
        CString label;
        float value;
    };
    void AddMark(const char* label, float value) { m_marks.push_back({label, value}); }
    void ClearMarks() { m_marks.clear(); }
    const std::vector<Mark>& GetMarks() const { return m_marks; }

private:
    std::vector<Mark> m_marks;
};
