// The clip pool as a clip sees it: the map of clips that the host owns is
// told when one of its clips dies, so it drops the entry. The pool's own
// operations (copies, linked copies, releasing by id) belong to the host.
//
// UI thread.
#pragma once

class CLoopClip;

class ILoopClipPool {
public:
    virtual void ClipDestroyed(CLoopClip* clip) = 0;

protected:
    ~ILoopClipPool() = default;
};
