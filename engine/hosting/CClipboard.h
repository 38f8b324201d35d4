// The program's own clipboard for cut, copy and paste between its views;
// nothing goes through the system clipboard, so it never reads outside
// bytes. It holds one kind of content at a time, named by the context (the
// view with the edit focus) it was copied in: pattern ids (pattern bin),
// MIDI events in its held pattern, earliest at tick 0 (pattern editor),
// pattern instances with the channels they came from, earliest at 0
// (arrangement), or an unloaded clone of one audio or MIDI effect (the two
// effect-chain views). What may be pasted depends on the current context:
//
//   content         may be pasted in
//   pattern ids     arrangement
//   events          pattern editor
//   instances       arrangement, channel strips
//   audio effect    audio effect-chain view
//   MIDI effect     MIDI effect-chain view
//
// Cut and each paste are one undoable command of the song document under
// its own name; a paste that fails on the way is taken back whole, so the
// document is left as it was. The effect-chain views and the channel strips
// paste themselves from HasContent and the held clones.
//
// The engine owner makes two (the edit clipboard and the drag-and-drop
// clipboard) through its factory, which this class's maker serves, gives
// each its held pattern and hands them every new document.
//
// UI thread only; no lock.
#pragma once

#include <utility>
#include <vector>

#include "engine/ITransportClipboard.h"
#include "engine/hosting/CPasteSource.h"
#include "model/CPatternInstance.h"

class CChannel;
class CFxWrap;
class CMfxFilterWrap;
class CMidiDoc;
class CMvCommand;
class CPattern;

class CClipboard : public CPasteSource, public ITransportClipboard {
public:
    // Contexts, and the content kind of what was copied in each.
    static constexpr int kNoContext = 0;
    static constexpr int kPatternBin = 1;
    static constexpr int kPatternEditor = 2;
    static constexpr int kArrangement = 3;
    static constexpr int kAudioFxChain = 4;
    static constexpr int kMidiFxChain = 5;
    static constexpr int kChannelStrips = 6;
    static constexpr int kContextCount = 7;

    // View hints of the commands.
    static constexpr DWORD kCutEventsHint = 0x0102;
    static constexpr DWORD kArrangementHint = 0x0101;
    static constexpr DWORD kPasteIntoPatternHint = 0x0186;

    CClipboard();
    ~CClipboard() override;
    CClipboard(const CClipboard&) = delete;
    CClipboard& operator=(const CClipboard&) = delete;

    // ---- ITransportClipboard ----
    // The scratch pattern (id 0) of copied events; S_FALSE when it exists.
    HRESULT CreateHeldPattern() override;
    // Stores the song document (null, or a document that is not one, for
    // none) and clears the content.
    HRESULT SetSource(ITransportDocument* document) override;

    // ---- CPasteSource ----
    void SetPasteTarget(IPasteTarget* target) override { m_pasteTarget = target; }
    HRESULT PasteIntoPattern(LONG time) override;
    IPasteTarget* GetPasteTarget() override { return m_pasteTarget; }

    // Set by the view that takes the edit focus; E_INVALIDARG outside
    // kNoContext..kChannelStrips.
    HRESULT SetCurrentContext(int context);
    int GetCurrentContext() const { return m_context; }
    int GetContentKind() const { return m_contentKind; }

    // Empties the content (the kind stays): the held events without undo,
    // the instances and ids; releases held effect clones, returning the
    // first release failure.
    HRESULT Clear();
    // Whether the content may be pasted in the context and there is some.
    bool HasContent(int context) const;
    bool CanPaste() const { return HasContent(m_context); }

    // Copies what the current context has selected; with cut, removes it
    // as one command ("Cut Events from Tarn", "Cut Patterns From
    // Arrangement"). The effect contexts copy nothing here.
    HRESULT CopyOrCut(bool cut);
    // CopyOrCut, then holds an unloaded clone of the effect (E_FAIL when it
    // cannot be cloned). Removing a cut effect from its chain is the view's.
    HRESULT CopyFx(bool cut, CFxWrap* effect);
    // CopyOrCut, then holds a clone of the MIDI effect (none when it cannot
    // be cloned).
    HRESULT CopyMfx(bool cut, CMfxFilterWrap* effect);

    // S_FALSE when nothing may be pasted in the current context. In the
    // pattern editor the paste target carries the paste out (QueryPaste);
    // in the arrangement the content lands at the song position of the
    // document's engine owner (E_UNEXPECTED without one);
    // elsewhere the view pastes itself and this does nothing.
    HRESULT Paste();
    // Pattern ids: an instance of each pattern over its duration on the
    // active channel (else the first track). Instances: on the active
    // channel (else their own, else the first track) when they all came
    // from one channel, otherwise each back on its own channel (skipped when
    // that channel is gone); selected once pasted. The earliest lands at
    // the time and the spacing is kept. One command "Paste into
    // Arrangement"; S_FALSE when there is nothing to paste here, S_OK when
    // nothing could be placed.
    HRESULT PasteIntoArrangement(LONG time);

    // The span of held events for the pattern editor's paste (context 2:
    // 0 to their length); context 3: S_OK, nothing written; otherwise both
    // 0 and S_FALSE. E_INVALIDARG when both are null.
    HRESULT GetContentExtent(LONG* start, LONG* end) const;
    // Appends the held ids; E_POINTER for null, S_FALSE when the caller's
    // list is still empty.
    HRESULT GetIdList(std::vector<SHORT>* ids) const;
    // Clears the clipboard and holds the ids (the kind stays); S_FALSE for
    // an empty list.
    HRESULT SetIdList(const std::vector<SHORT>& ids);

    // The held content, owned by the clipboard.
    CPattern* GetHeldPattern() const { return m_heldPattern; }
    CFxWrap* GetHeldFx() const { return m_heldFx; }
    CMfxFilterWrap* GetHeldMfx() const { return m_heldMfx; }
    const std::vector<CPatternInstance>& GetHeldInstances() const { return m_instances; }
    const std::vector<WORD>& GetSourceChannels() const { return m_sourceChannels; }

private:
    HRESULT CopyEvents(bool cut);
    HRESULT CopyInstances(bool cut);
    HRESULT PastePatternIds(LONG time);
    HRESULT PasteInstances(LONG time);
    template <class Place>
    HRESULT RunArrangementPaste(std::size_t count, Place place);
    // The document's active pattern; E_UNEXPECTED when there is none.
    HRESULT ActivePattern(CPattern** pattern) const;
    CMvCommand* BeginCommand(UINT textId, DWORD hint) const;
    // The active container when it is a channel, else `fallback` when that
    // is a channel, else the first track; null without any.
    CChannel* PasteChannel(WORD fallback) const;
    // The pattern of held instance `held` when the document still holds
    // that very pattern; null otherwise.
    CPattern* LivePattern(std::size_t held) const;

    IPasteTarget* m_pasteTarget = nullptr;
    int m_contentKind = kNoContext;
    int m_context = kNoContext;
    CMidiDoc* m_document = nullptr;
    CPattern* m_heldPattern = nullptr;
    CMfxFilterWrap* m_heldMfx = nullptr;
    CFxWrap* m_heldFx = nullptr;
    std::vector<CPatternInstance> m_instances;
    std::vector<WORD> m_sourceChannels;
    // The pattern id of each held instance, noted while its pattern lived.
    std::vector<SHORT> m_patternIds;
    std::vector<SHORT> m_ids;
};

// Every id but 0xFFFF (none).
inline bool IsValidObjectId(WORD id) { return id != 0xFFFF; }
// The colour (0x00BBGGRR) with red, green and blue each multiplied by the
// factor, clamped to 255 and truncated: lighter above 1, darker below.
DWORD ScaleColor(DWORD color, float factor);
