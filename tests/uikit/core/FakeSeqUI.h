// Time services of a song in 4/4 at 120 BPM and 25 frames per second, with
// a resolution and an SMPTE offset the test chooses; counts the text parses
// it is asked for, so a test can see that a property hands its text over.
#pragma once

#include <cmath>
#include <cstdio>
#include <string>

#include "uikit/core/ISeqUI.h"

class FakeSeqUI : public ISeqUI {
public:
    explicit FakeSeqUI(LONG ticksPerQuarter = 960) : m_tpq(ticksPerQuarter) {}

    LONG GetTicksPerQuarter() override { return m_tpq; }
    LONG MbtToTicks(LONG measure, LONG beat, LONG tick) override
    {
        return ((std::max(measure, 1) - 1) * 4 + std::max(beat, 1) - 1) * m_tpq + tick;
    }
    void TicksToMbt(const LONG& ticks, LONG* measure, LONG* beat, LONG* tick) override
    {
        *measure = ticks / (4 * m_tpq) + 1;
        *beat = ticks / m_tpq % 4 + 1;
        *tick = ticks % m_tpq;
    }
    LONG GetPrevBeat(LONG ticks) override { return ticks % m_tpq ? ticks / m_tpq * m_tpq : ticks - m_tpq; }
    LONG GetNextBeat(LONG ticks) override { return (ticks / m_tpq + 1) * m_tpq; }
    // Two quarters a second, 25 frames a second.
    LONG TicksToFrames(const LONG& ticks) override
    {
        return static_cast<LONG>(std::floor(ticks * 25.0 / (2.0 * m_tpq) + 0.5));
    }
    LONG FramesToTicks(LONG frames) override
    {
        return static_cast<LONG>(std::floor(frames * 2.0 * m_tpq / 25.0 + 0.5));
    }
    LONG GetSmpteOffset() override { return m_offset; }
    void FramesToSmpte(LONG frames, LONG* h, LONG* m, LONG* s, LONG* f) override
    {
        *f = frames % 25;
        *s = frames / 25 % 60;
        *m = frames / 25 / 60 % 60;
        *h = frames / 25 / 3600 % 24;
    }
    LONG SmpteToFrames(LONG h, LONG m, LONG s, LONG f, LONG) override { return 25 * (s + 60 * (m + 60 * h)) + f; }
    HRESULT ParseSmpteText(const char* text, LONG* h, LONG* m, LONG* s, LONG* f) override
    {
        ++smpteParses;
        int n = 0;
        if (std::sscanf(text, "%d:%d:%d:%d%n", h, m, s, f, &n) != 4 || text[n] != '\0')
            return E_INVALIDARG;
        return S_OK;
    }
    HRESULT ParseMbtText(const char* text, LONG* measure, LONG* beat, LONG* tick) override
    {
        ++mbtParses;
        LONG fields[3] = {1, 1, 0};
        int n = 0;
        const std::string t(text);
        std::size_t at = t.find_first_not_of(": |.");
        while (n < 3 && at != std::string::npos) {
            const std::size_t end = std::min(t.find_first_of(": |.", at), t.size());
            fields[n++] = std::atoi(t.substr(at, end - at).c_str());
            at = t.find_first_not_of(": |.", end);
        }
        TicksToMbt(MbtToTicks(fields[0], fields[1], fields[2]), measure, beat, tick);
        return S_OK;
    }

    LONG m_tpq;
    LONG m_offset = 0;
    int smpteParses = 0;
    int mbtParses = 0;
};
