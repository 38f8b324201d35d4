// What a long initialisation reports its progress through: a status text,
// a range and a position. UI thread only.
#pragma once

class IProgress {
public:
    virtual ~IProgress() = default;
    virtual void SetStatusText(const char* text) = 0;
    virtual void SetRange(int lower, int upper) = 0;
    virtual void SetPos(int pos) = 0;
    virtual int GetPos() = 0;
};
