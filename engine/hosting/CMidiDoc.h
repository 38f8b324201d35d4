// The song document: owns every pattern and every channel (track) of the
// open song with their display orders, the tempo map, the meter and key map
// and the three active ids (container, pattern, pattern instance), and binds
// the channels to the engine's audio graph. The engine owner, the channels,
// patterns, pattern instances and project commands reach it through the
// narrow interfaces it implements.
//
// Identifiers. Each kind draws its 16-bit id from a program-wide counter
// that is read and then advanced; a counter skips the "none" value 0xFFFF
// and ids that the document already holds, so a loaded project whose stored
// counter lags behind its contents never gets a duplicate. Channels start at
// 1000, patterns at 1 (0 after Init). The counters are not reset when a
// document closes.
//
// Edits are undoable steps of project commands (the user-visible names are
// the string table's IDS_DOC_* texts); removed channels and patterns belong
// to the undo step that removed them while they are off the model.
//
// Graph. Every routing change marks the graph dirty; RebuildGraph, under
// the graph lock, takes the filters of removed objects out, has every
// channel leave, join and connect the graph again, and runs it. A failing
// connect is retried on later calls, up to 10 times; then the document
// gives up and the main window hears of it (kRebuildTroubleMessage), as it
// does on the first success after failures.
//
// Persistence: one chunk-format object (major 0x6002) of six sub-chunks:
// 0 the song (maps, patterns with their loop-clip states, channels, buses,
// id counters, active container), 1 the active pattern and instance, 2 the
// instance serial, 3 the remote-control command map, 4 the settings, 5 the
// markers. Readers of minor 4 skip the markers. A load is meant for a fresh
// document (CreateMidiDoc): it replaces the buses and adds the rest; what a
// failed load brought in stays, so the caller discards the document then.
//
// Threads: UI thread unless said. GetGraphDirty, GetTempoMap and
// ResetInstanceCursors(WORD) are also read by the audio thread.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "devices/CMidiSink.h"
#include "devices/CRCCommandMap.h"
#include "devices/IRenderDocument.h"
#include "engine/IDocumentEngine.h"
#include "engine/IMfxSiteDocument.h"
#include "engine/IRenderTargets.h"
#include "engine/ITransportDocument.h"
#include "engine/hosting/IDocStateChange.h"
#include "engine/mixer/CAuxBus.h"
#include "engine/mixer/CChannel.h"
#include "engine/mixer/CMainBus.h"
#include "engine/mixer/IBusDocument.h"
#include "engine/mixer/IChannelDocument.h"
#include "engine/mixer/ISynthWrapFactory.h"
#include "model/CActiveContainerID.h"
#include "model/CActivePatternID.h"
#include "model/CActivePatternInstanceID.h"
#include "model/CChanMap.h"
#include "model/CKelPersistObject.h"
#include "model/CMeterKeySigMap.h"
#include "model/CPattern.h"
#include "model/CQuantizer.h"
#include "model/CTempoMap.h"
#include "model/CUndoMap.h"
#include "model/CUndoVector.h"
#include "model/CSongTimeServices.h"
#include "model/ISmfImportDocument.h"
#include "model/ISongDocument.h"
#include "uikit/core/CHeapCriticalSection.h"

class CDxSource;
class CRecorder;

template <>
struct CUndoPtrTraits<CChannel> {
    static void Destroy(CChannel* p) { CChannel::Destroy(p); }
};
template <>
struct CUndoPtrTraits<CAuxBus> {
    static void Destroy(CAuxBus* p) { CAuxBus::Destroy(p); }
};

class CMidiDoc : public CKelPersistObject,
                 public ISongDocument,
                 public IActiveIdDocument,
                 public IChanMapDocument<CChannel>,
                 public IChannelDocument,
                 public IBusDocument,
                 public ITransportDocument,
                 public IRenderTargets,
                 public ISynthWrapFactory,
                 public ISmfImportDocument,
                 public IMfxSiteDocument,
                 public CMidiSink {
public:
    static constexpr WORD kMajor = 0x6002;
    // Chunk 5, the markers, came after the settings.
    static constexpr WORD kMinor = 5;
    static constexpr int kMaxChannels = 96;
    static constexpr int kInfoStringCount = 5;
    static constexpr int kAuxBusCount = 4;
    static constexpr SHORT kNone = static_cast<SHORT>(0xFFFF);
    static constexpr LONG kNoInstanceId = -1;
    static constexpr LONG kTicksPerQuarter = 960;
    static constexpr DWORD kMaxRebuildRetries = 10;
    // Posted to the main window when a rebuild gave up or succeeded after
    // failed attempts.
    static constexpr UINT kRebuildTroubleMessage = WM_APP + 1;

    // View hints of the edits.
    static constexpr DWORD kHintTrackName = 0x10;
    static constexpr DWORD kHintAuxBus = 0x200;
    static constexpr DWORD kHintDeleteTrack = 0x68;
    static constexpr DWORD kHintMoveTrack = 0x8;
    static constexpr DWORD kHintInsertTrack = 40;
    static constexpr DWORD kHintCreatePattern = 0x41;
    static constexpr DWORD kHintPatternList = 0x1;
    static constexpr DWORD kHintMergePatterns = 0x84;
    static constexpr DWORD kHintPatternAttributes = 0x2;

    // ---- Creation and destruction ----
    // E_POINTER for a null out; runs Init and destroys the half-built
    // document when it fails.
    static HRESULT CreateMidiDoc(IDocumentEngine* engine, CMidiDoc** document);
    // E_INVALIDARG when the pointer is null; detaches it from the engine,
    // shuts it down, deletes it and nulls the pointer.
    static HRESULT DestroyMidiDoc(CMidiDoc*& document);

    // ---- Identifiers (program-wide) ----
    // The next free id of the kind, kNone when every id is taken.
    SHORT NextChannelId();
    SHORT NextPatternId();
    static SHORT GetMainBusIdCounter();
    static void SetMainBusIdCounter(SHORT next);
    static SHORT GetAuxBusIdCounter();
    static void SetAuxBusIdCounter(SHORT next);
    static SHORT GetChannelIdCounter();
    static void SetChannelIdCounter(SHORT next);
    static SHORT GetPatternIdCounter();
    static void SetPatternIdCounter(SHORT next);

    // ---- Lookups ----
    HRESULT GetPattern(SHORT id, CPattern** pattern) override;
    HRESULT GetPatternAt(int position, CPattern** pattern);
    int GetPatternCount() const { return m_patternOrder.GetSize(); }
    HRESULT GetChannel(SHORT id, CChannel** channel);
    HRESULT GetChannelAt(int position, CChannel** channel);
    int GetChannelCount() const { return m_trackOrder.GetSize(); }
    // E_UNEXPECTED unless the document holds exactly one master bus.
    HRESULT GetMainBus(CMainBus** bus);
    HRESULT GetAuxBus(SHORT id, CAuxBus** bus);
    HRESULT GetAuxBusAt(int position, CAuxBus** bus);
    int GetAuxBusCount() const { return m_auxOrder.GetSize(); }
    int GetAuxBusIndex(SHORT id) const;
    BOOL IsMainBusId(SHORT id) const;
    // The channel holding the instance and/or the instance; E_INVALIDARG
    // when both outs are null, S_FALSE when no channel holds it.
    HRESULT FindInstance(DWORD instanceId, CChannel** channel, CPatternInstance** instance);
    // The pattern a container plays and, on request, "pattern - container".
    HRESULT GetContainerPattern(SHORT containerId, CPattern** pattern, CString* label);
    HRESULT CountPatternUses(SHORT patternId, int* count);
    HRESULT SplitPatternIdsByUse(std::set<SHORT>* inUse, std::set<SHORT>* scrap);
    int GetChannelIndex(SHORT id) const;
    SHORT GetChannelIdAt(int position) const;
    BOOL IsArrangementEmpty();
    HRESULT GetActivePattern(CPattern** pattern);
    HRESULT GetPreviewChannelIds(std::vector<SHORT>* ids);
    const std::map<SHORT, CChannel*>& Channels() const { return m_channels.Items(); }

    // ---- Selection ----
    void SelectAllPatterns(BOOL selected);
    void SelectAllInstances(BOOL selected);
    HRESULT TogglePatternSelected(SHORT id);
    HRESULT GetSelectedPatternIds(std::vector<SHORT>* ids);
    HRESULT GetSelectionTimeRange(LONG* start, LONG* end);

    // ---- Channel edits ----
    // At 0..track count; E_UNEXPECTED with kMaxChannels channels.
    HRESULT InsertChannel(int position, BOOL ownCommand, const CLSID* synthClass, const char* synthName,
                          CMvCommand* command);
    HRESULT SetChannelName(int position, const char* name, BOOL makeCommand);
    HRESULT SetChannelParam(SHORT channelId, DWORD index, float value, BOOL makeCommand);
    HRESULT DeleteChannel(SHORT channelId, BOOL makeCommand);
    HRESULT MoveChannel(int from, int to);

    // The active channel again, with a clone of its synth, right after it;
    // E_UNEXPECTED unless a channel with a synth is active and fewer than
    // kMaxChannels exist.
    HRESULT CloneActiveChannel(BOOL ownCommand, CMvCommand* command);

    // ---- Mixer-state caches and bulk setters ----
    // Each answers its cached value while it is valid, else scans and caches.
    BOOL IsNoTrackMuted();
    BOOL IsNoChannelArmed() override;
    void InvalidateSoloState() { m_noSoloValid = FALSE; }
    void InvalidateArmState() { m_noArmValid = FALSE; }
    void OnArmChanged() override;
    HRESULT ClearAllSolos();
    HRESULT ClearAllMutes();
    HRESULT DisarmAllChannels() override;

    // ---- Recording ----
    // The engine owner the document was made for (null in none).
    IDocumentEngine* GetEngine() const { return m_engine; }
    // The recorder that parameter gestures go to while it holds this
    // document; null: none. The recorder sets and clears it.
    void SetRecorder(CRecorder* recorder) { m_recorder = recorder; }

    // ---- Automation recording ----
    // The active pattern when the container holds the active instance, else
    // the pattern the container plays; E_INVALIDARG without any out.
    HRESULT GetAutomationPattern(SHORT containerId, CPattern** pattern, CString* name);
    // One automation event per (params[i], values[i]) into that pattern.
    HRESULT RecordParamAutomation(SHORT containerId, const std::vector<DWORD>& params,
                                  const std::vector<float>& values);

    // ---- Pattern edits ----
    HRESULT CreatePattern(SHORT id, BOOL makeCommand, CMvCommand* command, CPattern** pattern = nullptr,
                          BOOL loopClip = FALSE);
    HRESULT DeletePattern(SHORT id, BOOL makeCommand, CMvCommand* command);
    HRESULT DuplicatePattern(SHORT sourceId, SHORT newId, BOOL makeCommand, CMvCommand* command);
    HRESULT MergePatterns(const std::vector<SHORT>& sources, SHORT targetId, BOOL append, CMvCommand* command);
    // The new pattern takes the next pattern id; out receives it.
    HRESULT SplitPattern(CPattern* source, LONG from, LONG to, LONG duration, SHORT* newId = nullptr);
    HRESULT SetPatternAttributes(SHORT id, const char* name, const LONG* duration, const DWORD* swing,
                                 const LONG* editMarker, CMvCommand* command);

    // ---- Active ids ----
    HRESULT SetActiveChannelAt(int position, CMvCommand* command);
    HRESULT SetActivePattern(SHORT id, CMvCommand* command);
    SHORT GetActivePatternIdRaw() const { return m_activePattern.GetCurrent(); }
    SHORT GetValidActiveContainer();
    HRESULT AddStateListener(IDocStateChange* listener);
    HRESULT RemoveStateListener(IDocStateChange* listener);

    // ---- Settings ----
    HRESULT SetSendMidiSync(BOOL send);
    HRESULT SetShuffleAmount(float amount);
    LONG GetSongEndTick() const { return m_songEnd; }

    // ---- Graph ----
    BOOL IsRoutingChanged() const { return m_routingChanged != 0; }
    DWORD GetRebuildRetries() const { return m_rebuildRetries; }
    HRESULT OnRoutingChanged(CChannel* channel);
    HRESULT InvalidateAllContainers();
    // The disabled source that keeps the graph non-empty without channels.
    CDxSource* GetLoneSource() const { return m_loneSource; }

    // ---- ICommandDocument ----
    HRESULT RecalcSongLength() override;
    HRESULT ResetInstanceCursors(SHORT patternId) override;
    HRESULT RefreshActiveSelection() override;
    SHORT GetActiveContainer() override { return m_activeContainer.GetCurrent(); }
    HRESULT SetActiveContainer(SHORT id, BOOL forceNotify, CMvCommand* command) override;

    // ---- ISongDocument ----
    LONG GetSongEnd() override { return m_songEnd; }
    CTempoMap* GetTempoMap() override { return &m_tempoMap; }
    DWORD GetActiveInstance() override { return static_cast<DWORD>(m_activeInstance.GetCurrent()); }
    HRESULT SetActiveInstance(DWORD instanceId, CMvCommand* command) override;

    // ---- IActiveIdDocument ----
    BOOL HasPattern(SHORT id) override;
    BOOL HasInstance(DWORD id) override;
    BOOL HasContainer(SHORT id) override;
    HRESULT NotifyActiveContainer(SHORT id) override;

    // ---- IChanMapDocument ----
    CHeapCriticalSection* GetMidiLock() override { return &m_midiLock; }
    HRESULT UpdateChannelGraph(CChannel* channel) override;

    // ---- IParamSetDocument ----
    int GetChannelPosition(const CControlParamSet* set) override;
    HRESULT RunRemoteControlDialog(CRCContainer* container, DWORD id, const char* title, LONG a, LONG b) override;
    HRESULT CreateRCParam(CControlParamSet* set, REFGUID classId, REFGUID instanceId, IRCParam** param) override;
    void PostToMainWindow(UINT message, WPARAM wParam, LPARAM lParam) override;
    // The engine's MIDI-effect host site's converter. Audio thread too: no
    // allocation, no blocking.
    IMfxTimeConverter* GetTimeConverter() override;

    // ---- IMixerDocument ----
    HRESULT SetGraphDirty() override;
    HRESULT KeepObjectAlive(IUnknown* object) override;
    CDxFilterGraph* GetFilterGraph() override;
    void AddErrorMessage(const CString& text) override;
    HRESULT CreateFxWrap(REFCLSID clsid, const char* name, IFxWrap** wrap) override;
    HRESULT ShowFxPropertyPage(IFxWrap* wrap, HWND parent) override;
    HRESULT CloseFxPropertyPage(IFxWrap* wrap) override;
    void SetModifiedFlag() override;
    IPin* GetMainBusMixInPin() override;
    IPin* GetAuxBusMixInPin(int aux) override;
    HRESULT RefreshAuxBusRouting(int aux) override;

    // ---- IChannelDocument ----
    BOOL IsNoChannelSoloed() override;
    HRESULT UpdateSoloMutes() override;
    void InvalidateMuteState() override;
    HRESULT SetChannelParam(WORD channelId, DWORD id, float value) override;
    HRESULT RecordParamValue(DWORD id, WORD channelId, float value) override;
    HRESULT BeginParamTouch(DWORD id, WORD channelId) override;
    HRESULT EndParamTouch(DWORD id, WORD channelId) override;
    HRESULT AcquireSourceFilter(IBaseFilter** source) override;
    ISynthWrapFactory* GetSynthWrapFactory() override { return this; }
    HRESULT ShowSynthPropertyPage(ISynthWrap* wrap, const CString& title) override;
    HRESULT CloseSynthPropertyPage(ISynthWrap* wrap) override;
    void ShowMessageBox(const CString& text) override;
    double GetShuffleAmount() override { return m_shuffle; }
    HRESULT CreateMfxWrap(REFCLSID clsid, const char* name, IMfxFilterWrap** wrap) override;
    // While a channel's step-sequencer preview goes on (its flag set and a
    // step sequencer in its chain), the transport plays in preview record
    // mode (bit 2); when none does, a transport only the preview started
    // stops and the bit clears. S_OK while previewing, else S_FALSE.
    HRESULT UpdateStepPreview() override;
    HRESULT ShowMfxPropertyPage(IMfxFilterWrap* wrap, HWND parent) override;
    HRESULT CloseMfxPropertyPage(IMfxFilterWrap* wrap) override;
    DWORD GetMidiInputPortCount() override { return 0; }
    // Audio thread: no allocation, no blocking (these six).
    DWORD GetRewirePortIndex() override;
    BOOL IsPlaying() override;
    BOOL IsRecording() override;
    BOOL IsCountInOn() override;
    LONG GetTransportNow() override;
    void TriggerMidiMeter(WORD) override {}

    // ---- IBusDocument ----
    IAudioProperties* GetAudioProperties() override;
    BOOL IsAuxBusUsed(WORD index) override;
    int GetAuxBusPosition(WORD index) override { return GetAuxBusIndex(static_cast<SHORT>(index)); }
    HRESULT SetAuxBusParam(WORD index, DWORD id, float value) override;
    HRESULT SetMainBusParam(DWORD id, float value) override;
    HRESULT RecordBusParamValue(DWORD id, WORD busIndex, float value) override;
    HRESULT BeginBusParamTouch(DWORD id, WORD busIndex) override;
    HRESULT EndBusParamTouch(DWORD id, WORD busIndex) override;
    // Audio thread: no allocation, no blocking.
    BOOL IsAutomationPlaybackOn() override { return TRUE; }
    HRESULT CreateMetronomePlayer(IMetronomePlayer** player) override;

    // ---- ISynthWrapFactory ----
    HRESULT CreateSynthWrap(REFCLSID clsid, const char* name, ISynthWrap** wrap) override;

    // ---- ITransportDocument ----
    BOOL GetSendMidiSync() override { return m_sendMidiSync; }
    LONG GetTicksPerQuarter() override { return kTicksPerQuarter; }
    // Audio thread: no allocation, no blocking.
    LONG GetGraphDirty() override { return m_graphDirty; }
    IRenderDocument* GetRenderDocument() override { return &m_renderView; }
    IRenderTargets* GetRenderTargets() override { return this; }
    void SetMetronomeOn(BOOL on) override;
    WORD GetActivePatternId() override { return static_cast<WORD>(m_activePattern.GetCurrent()); }
    HRESULT GetPatternTimes(WORD patternId, LONG* editMarker, LONG* duration) override;
    HRESULT CommitLiveTempo(BOOL commit) override;
    HRESULT OnBufferTempoHook(LONG loopStart, LONG loopEnd) override;
    // Audio thread: no allocation, no blocking.
    HRESULT ResetInstanceCursors(WORD patternId) override;
    HRESULT ConnectAllContainers() override;
    HRESULT InvalidateGraph() override;
    HRESULT RebuildGraph() override;

    // ---- IRenderTargets (the data renderer's receivers) ----
    // Audio thread: no allocation, no blocking (the three below).
    HRESULT VisitChannels(IRenderTargetVisitor& visitor) override;
    HRESULT VisitAuxBuses(IRenderTargetVisitor& visitor) override;
    IRenderTarget* GetMainBusTarget() override;

    // The document as project commands see it.
    ICommandDocument* AsCommandDocument() { return static_cast<ISongDocument*>(this); }

    // ---- Time services ----
    // The song's musical time base over its tempo and meter maps, for every
    // view and property that shows or edits a position.
    ISeqUI* GetSeqUI() { return &m_timeServices; }

    // ---- Diagnostic dumps ----
    // Each writes the song's state for inspection into its fixed file in the
    // current directory ("MvPARAMS_MSXML.xml", "MvCONTENT_MSXML.xml",
    // "MvMAPS_MSXML.xml"): the parameters of every channel and aux bus; the
    // patterns with their events and the tracks with their instances; the
    // tempo and meter/key entries. S_OK, or the writer's failure (a text
    // that is no XML text, a file that cannot be written), with no file
    // written then.
    HRESULT DumpParamsXml();
    HRESULT DumpContentXml();
    HRESULT DumpMapsXml();

    // ---- Standard MIDI File import ----
    // Imports the file at the path into the song as one undoable command
    // "Import MIDI file \"name\"". Into a song without any pattern instance
    // the tempo map is first reset to its one default entry, within the same
    // command, so undoing the import brings back the tempo map as well. S_OK,
    // or the failure of opening the file or of the import, which leaves the
    // song as it was.
    HRESULT ImportMidiFile(const char* path);

    // ---- ISmfImportDocument (the edits join the import's command) ----
    const CMeterKeySigMap& GetMeterKeyMap() override { return m_meterKeyMap; }
    HRESULT BeginImportCommand(const char* name) override;
    HRESULT EndImportCommand() override;
    void AbandonImportCommand() override;
    HRESULT CreatePattern(CPattern** pattern) override;
    HRESULT InsertTrack(const char* name, SHORT* trackId) override;
    HRESULT AddPatternInstance(SHORT trackId, const CPatternInstance& instance) override;
    HRESULT InsertTempo(LONG tick, LONG tempo) override;
    HRESULT InsertMeterKey(LONG tick, const CMeterKey& entry) override;
    // After the markers at the same or an earlier tick, as a step of the
    // import's command.
    HRESULT InsertMarker(const char* name, LONG tick) override;

    // ---- Staged meter change ----
    // A meter/key change held for the map (one at a time: a change staged
    // over another writes that one first), then written as the map's live
    // change, without undo (CMeterKeySigMap::SetLiveMeter). Discarding
    // leaves it staged. Only failures are returned. The thread that follows
    // a ReWire host's meter: no allocation, no blocking.
    HRESULT StageMeterKey(LONG tick, const CMeterKey& entry);
    HRESULT CommitStagedMeterKey(BOOL discard);

    // ---- Markers ----
    // A named position of the song, kept in tick order.
    struct Marker {
        LONG tick = 0;
        CString name;
    };
    // Any thread that holds no edit of the markers; plug-ins read them through
    // their host site too.
    int GetMarkerCount() override { return m_markers.GetSize(); }
    // E_INVALIDARG outside 0..count-1; the name is copied unless it is null.
    HRESULT GetMarker(int index, LONG* tick, CString* name) override;

    // ---- Document settings ----
    // The five info texts (title, author, ...), saved with the song.
    const CString& GetInfoString(int index) const;
    HRESULT SetInfoString(int index, const char* text);
    CRCCommandMap& GetCommandMap() { return m_commandMap; }

    // ---- Audio import: loop-clip patterns ----
    // Gives the loop-clip pattern a clip of the audio file from the engine's
    // clip pool, under the pattern's clip id and display name, read as
    // 32-bit float stereo at the graph's rate; the pattern keeps the path
    // and takes the clip's length as its duration. *clip (when asked)
    // borrows the pool's clip. E_POINTER, E_INVALIDARG for a pattern of
    // notes, E_UNEXPECTED without a pool, or the pool's failure (the reason
    // code, when asked, says which limit refused the file).
    HRESULT AttachClipFile(CPattern* pattern, const char* path, int* reason = nullptr, ILoopClip** clip = nullptr);
    // Places the loop-clip pattern, with the audio file attached, on the
    // active track when its synth plays loop clips and no new track is
    // demanded, else on a new loop-player track at the end: one instance
    // from *time (the transport's position when null) for the pattern's
    // duration, made the active instance. The edits join `command`;
    // *channel (when asked) is the track. E_POINTER for no pattern or path.
    HRESULT PlaceLoopClip(CPattern* pattern, const char* path, CMvCommand* command, CChannel** channel,
                          BOOL newTrack, const LONG* time);
    // Imports the audio file at path, chosen under the title, as a new
    // loop-clip pattern named by the title up to its last point, placed as
    // PlaceLoopClip does, in one undoable command "Import name Into
    // Project". A failure at any step leaves the song and the pool as they
    // were and is returned.
    HRESULT ImportIntoProject(const char* title, const char* path);

    // ---- Selections, names, marks and previews of the mixer and editors ----
    // The transport's record-mode bit of a step-sequencer preview.
    static constexpr DWORD kPreviewRecordMode = 2;
    // The position of an aux bus in the aux order: -1 and E_FAIL when absent.
    HRESULT FindAuxBusIndex(SHORT id, int* position);
    // The object whose effect chain the effect views show: the active
    // channel's current output branch, or the active aux bus or master bus;
    // S_FALSE with null when nothing is active, E_UNEXPECTED for an id that
    // names no container.
    HRESULT GetActiveFxOwner(CChainHost** owner);
    // The tick count stored right after creation.
    void StampCreationTick();
    DWORD GetCreationTick() const { return m_creationTick; }

    // Instance selection (E_INVALIDARG when no channel holds the id); each
    // change restarts the previews for the new selection. The toggle gives
    // the new state.
    HRESULT SetInstanceSelected(DWORD instanceId, BOOL selected);
    HRESULT ToggleInstanceSelected(DWORD instanceId, BOOL* selected);
    // Appends (channel id, instance id) of every selected instance, the
    // channels in id order.
    HRESULT GetSelectedInstances(std::vector<std::pair<SHORT, DWORD>>* selected);

    // Undoable under "Change Aux Bus %d Name to ..." (position + 1).
    HRESULT SetAuxBusName(int position, const char* name, BOOL makeCommand);
    // The parameter edits of a bus, undoable only with makeCommand.
    HRESULT SetAuxBusParam(SHORT busId, DWORD index, float value, BOOL makeCommand);
    HRESULT SetMainBusParam(DWORD index, float value, BOOL makeCommand);

    // The marked containers: a channel is marked while it is armed, an aux
    // bus or the master bus while its track flag is set. An empty vector is
    // filled (E_UNEXPECTED otherwise): the active channel first when it is
    // marked, then the other channels in id order; the container list adds
    // the marked aux buses in id order and the master bus. S_FALSE when the
    // song has no channel.
    HRESULT GetMarkedChannelIds(std::vector<SHORT>* ids);
    HRESULT GetMarkedContainerIds(std::vector<SHORT>* ids);
    // Clears the mark of every channel and aux bus.
    HRESULT ClearTrackFlags();

    // A note-on at the velocity to the channel of the active instance, else
    // to the preview channel (the active channel or the first track).
    HRESULT PreviewNote(int note, int velocity);

    // One pattern through a stream, saved or loaded; a loop-clip pattern's
    // clip state follows it (a load adds the clip to the pool under the
    // pattern's id). E_INVALIDARG for a null pattern or stream.
    HRESULT PersistPatternClip(CPattern* pattern, IStream* stream, BOOL save);

    // The song's quantize settings, made by Init over the song's time
    // services; null before Init and after Shutdown.
    CQuantizer* GetQuantizer() const { return m_quantizer.get(); }

private:
    std::unique_ptr<CQuantizer> m_quantizer;
    // The channels whose step-sequencer preview the document holds the
    // transport for (their preview flag is set).
    std::set<SHORT> m_stepPreviews;
    DWORD m_creationTick = 0;

public:
    // ---- Persistence ----
    STDMETHOD(PersistChunk)(DWORD versionWord, CKelPersistArchive* archive) override;

    // ---- IMfxSiteDocument (the song as its plug-ins see it) ----
    // Any thread, no lock: the maps as they stand.
    const CTempoMap& GetSiteTempoMap() override { return m_tempoMap; }
    const CMeterKeySigMap& GetSiteMeterKeySigMap() override { return m_meterKeyMap; }
    // Sets the channel's step-sequencer preview flag, then holds or releases
    // the transport (UpdateStepPreview). E_INVALIDARG for 0xFFFF.
    HRESULT SetStepPreview(WORD channelId, BOOL on) override;
    // Timer thread: under the MIDI lock every channel runs its chain once.
    void PumpMfxChains() override;

    // ---- Live MIDI input (a normal sink of the engine's MIDI source) ----
    // MIDI input thread: under the MIDI lock every channel, in id order,
    // hears the message and queues what is for it. Never consumes: 0.
    // Also the audio thread (the ReWire device's worker hands the host's
    // messages over there): no allocation, no blocking; a busy MIDI lock
    // drops the message and counts it.
    int OnShortMsg(DWORD message, DWORD time, int port) override;
    // Live messages dropped on the audio thread because the lock was busy.
    DWORD GetLiveDropCount() const { return m_liveDrops.load(std::memory_order_relaxed); }
    // MIDI input thread: under the MIDI lock every channel lets go of its
    // held notes; the engine is not re-seeked from this thread.
    void ResetLocked() override;
    // UI thread: every channel lets go of its held notes, then the engine
    // re-seeks to the current position. Takes no lock of its own.
    void ClearHeldNotes() override;

    // ---- Tempo, meter and marker edits ----
    // Each follows the command rules of every edit: steps join `command`
    // when one is given; else, with makeCommand, a command of its own under
    // the named undo text is committed; else the change is made directly.
    static constexpr DWORD kHintTempo = 0x1000;
    // Replaces the tempo of the entry that starts at the tick, else inserts
    // a new entry after the one in force there. "Insert %.2f BPM Tempo".
    HRESULT InsertTempo(LONG tick, LONG tempo, BOOL makeCommand, CMvCommand* command);
    // E_INVALIDARG for an index outside the map or a tempo outside
    // 800..25000; S_FALSE, nothing done, for the tempo it already has.
    // "Change Tempo from %.1f to %.1f".
    HRESULT SetTempoAt(int index, LONG tempo, BOOL makeCommand);
    // Entry 0 stays: the only one goes back to 140.00 BPM, else it takes
    // entry 1's tempo and entry 1 goes. "Delete Tempo".
    HRESULT DeleteTempo(int index, BOOL makeCommand, CMvCommand* command);
    HRESULT ClearTempoRange(LONG from, LONG to, BOOL makeCommand, CMvCommand* command);
    HRESULT SetTempoSelected(int index, BOOL selected);
    // E_FAIL for a map without entries.
    HRESULT DeselectAllTempos();
    // The tempo played from the tick on until it is committed or dropped;
    // E_INVALIDARG outside 800..25000.
    HRESULT SetLiveTempo(LONG tick, LONG tempo);
    // Audio thread: no allocation, no blocking. A live tempo runs from the
    // song start again (playback wrapped at the loop end).
    HRESULT RefreshLiveTempo();
    HRESULT InsertMeterKey(LONG tick, const CMeterKey& entry, BOOL makeCommand, CMvCommand* command);
    // E_INVALIDARG for an index outside the map.
    HRESULT DeleteMeterKey(int index, BOOL makeCommand, CMvCommand* command);
    // After the markers at the same or an earlier tick; the name is cut to
    // 63 characters. "Insert Marker \"%s\"".
    HRESULT InsertMarker(const char* name, LONG tick, BOOL makeCommand, CMvCommand* command);

    // ---- Pattern files ----
    // A pattern file is one pattern's own saved form (and, for a loop clip,
    // the clip's state after it) in a file named after the pattern with
    // ".PTN", in a pattern folder. Names become file names with every
    // character that may not stand in one (separators, wildcards, control
    // characters) replaced by "_".
    static CString PatternFileName(const char* name);
    // Writes the pattern into its file in the folder, replacing an older
    // one only when the whole write succeeded.
    HRESULT SavePatternFile(SHORT patternId, const char* folder);
    // Reads the file `name` of the folder into a new pattern, as steps of
    // the caller's open command; the pattern is named `name`, made unique
    // among the song's patterns ("Bass" beside "bass_3" becomes "Bass_4"),
    // and `name` receives that. A file that cannot be opened changes
    // nothing and gives E_FAIL; one that cannot be read aborts the command
    // (its owner deletes it) and gives the reader's failure; both show
    // "There was an error opening the specified file".
    HRESULT LoadPatternFile(CMvCommand* command, CString* name, const char* folder, CPattern** pattern);

    // ---- Remote-control targets: the transport commands ----
    // One listed target: the document, the target, 0, the command's name.
    struct RCTargetEntry {
        CMidiDoc* container = nullptr;
        CMvRCCommand* target = nullptr;
        DWORD value = 0;
        CString name;
    };
    // A new target for the command id (not yet assigned, the caller's),
    // preset to any channel and port, values up to 16383, a switch on the
    // whole message. E_FAIL and no target for an id outside the table.
    HRESULT CreateTarget(LONG commandId, CMvRCCommand** target);
    // E_FAIL unless the target is a command target.
    HRESULT DestroyTarget(CRCTarget* target);
    // One entry per assigned target in command order.
    HRESULT ListTargets(std::vector<RCTargetEntry>* entries);
    // Undoable within `command`, or in a command of their own when it is
    // null; Assign and Modify refuse (E_FAIL) a target that is no command
    // target.
    HRESULT UnassignTarget(LONG commandId, CMvCommand* command);
    HRESULT AssignTarget(LONG commandId, CRCTarget* target, CMvCommand* command);
    HRESULT ModifyTarget(LONG commandId, CRCTarget* target, CMvCommand* command);

private:
    // A channel as a receiver of the data renderer; one per walk, pointed at
    // each channel in turn, so a broadcast allocates nothing.
    class ChannelTarget final : public IRenderTarget {
    public:
        CChannel* channel = nullptr;
        HRESULT OnLocate(LONG t) override { return channel->OnLocate(t); }
        HRESULT OnStop(LONG t) override { return channel->OnStop(t); }
        HRESULT OnStart(LONG t) override { return channel->OnStart(t); }
        HRESULT OnLoop(LONG s, LONG e) override { return channel->OnLoop(s, e); }
        HRESULT ProcessLiveInput(LONG t) override { return channel->ProcessLiveInput(t); }
        HRESULT RenderSpan(LONG f, LONG t) override { return channel->RenderSpan(f, t); }
        // Recording changes reach no channel's data.
        HRESULT OnRecordingChanged(BOOL) override { return S_OK; }
    };
    // An aux bus or the master bus: its effect chain hears start, stop and
    // loop, its automation is located and rendered.
    class BusTarget final : public IRenderTarget {
    public:
        CMixBus* bus = nullptr;
        HRESULT OnLocate(LONG t) override { return bus->Locate(t); }
        HRESULT OnStop(LONG t) override { return bus->OnStop(t); }
        HRESULT OnStart(LONG t) override { return bus->OnStart(t); }
        HRESULT OnLoop(LONG s, LONG e) override { return bus->OnLoop(s, e); }
        HRESULT ProcessLiveInput(LONG) override { return S_OK; }
        HRESULT RenderSpan(LONG f, LONG t) override { return bus->RenderAutomation(f, t); }
        HRESULT OnRecordingChanged(BOOL) override { return S_OK; }
    };

    // The document as the audio renderer walks it: the lone source as the
    // single input source, the source pool as the further sources, the
    // channels' output branches and the aux buses in map order, then the
    // master bus. Index access walks a map, so each view keeps a cursor that
    // makes the renderer's in-order walks cost one step per element.
    // Audio thread (inside the renderer's lock) and UI thread: no
    // allocation, no blocking (every method).
    class RenderView final : public IRenderDocument {
    public:
        explicit RenderView(CMidiDoc* document) : m_doc(document) {}
        CDxSource* GetInputSource() override;
        int GetPushSourceCount() override;
        CDxSource* GetPushSource(int index) override;
        int GetChannelCount() override;
        int GetChannelOutputCount(int channel) override;
        IBufferMatcher* GetChannelOutputMatcher(int channel, int output) override;
        int GetAuxBusCount() override;
        IBufferMatcher* GetAuxBusMatcher(int bus) override;
        bool AuxBusHasConnectedInputs(int bus) override;
        bool HasMasterBus() override;
        IBufferMatcher* GetMasterChainMatcher() override;
        IBufferMatcher* GetMasterBusMatcher() override;
        CDxBufRenderer* GetMasterRenderer() override;

    private:
        // A position in a map that the index walks move along; null for an
        // index out of range.
        template <class Map>
        struct Cursor {
            int index = -1;
            typename Map::const_iterator at;
            const Map* map = nullptr;
            typename Map::mapped_type Seek(const Map& items, int n);
        };
        CChannel* ChannelAt(int n);
        CAuxBus* AuxBusAt(int n);

        CMidiDoc* m_doc;
        Cursor<std::map<SHORT, CChannel*>> m_channel;
        Cursor<std::map<SHORT, CAuxBus*>> m_aux;
    };

    explicit CMidiDoc(IDocumentEngine* engine);
    virtual ~CMidiDoc();
    CMidiDoc(const CMidiDoc&) = delete;
    CMidiDoc& operator=(const CMidiDoc&) = delete;

    HRESULT Init();
    HRESULT Shutdown();

    // The chunks of the song; see the class comment.
    HRESULT PersistSong(CKelPersistArchive* archive);
    HRESULT SaveSong(CKelPersistArchive* archive);
    HRESULT LoadSong(CKelPersistArchive* archive);
    HRESULT LoadPatterns(CKelPersistArchive* archive);
    HRESULT LoadChannels(CKelPersistArchive* archive);
    HRESULT LoadBuses(CKelPersistArchive* archive);
    HRESULT PersistClipStates(CKelPersistArchive* archive);
    HRESULT PersistSettings(CKelPersistArchive* archive);
    HRESULT PersistMarkers(CKelPersistArchive* archive);
    // What follows the load of any chunk: the stored active ids (none where
    // that chunk held none), song end, solo state, sync flag and shuffle.
    HRESULT RunLoadFixUps(SHORT container, SHORT pattern, LONG instance);
    void DestroyChannels();
    void DestroyAuxBuses();
    void DestroyMainBus();

    HRESULT InsertChannelAt(int position, SHORT id, CChannel* channel, const CString& name, BOOL ownCommand,
                            CMvCommand* command);
    HRESULT ConnectGraph(CDxFilterGraph* graph);
    HRESULT DisconnectGraph(CDxFilterGraph* graph);
    HRESULT FlushKeepAlive(CDxFilterGraph* graph);
    // Calls `call` on every channel in id order; the first failure.
    template <class Call>
    HRESULT ForEachChannel(Call call);
    // Calls `call` on every aux bus in id order; the first failure.
    template <class Call>
    HRESULT ForEachAuxBus(Call call);
    CMainBus* MainBus() const { return m_mainBus.GetSize() == 1 ? m_mainBus[0] : nullptr; }
    CString UniqueCopyName(const CString& source) const;
    CString ContainerLabel(SHORT id) const;
    HRESULT RefreshPreviews();
    // Registers the document with the engine's MIDI source and hands the
    // command map the input router; undone before the document goes.
    HRESULT AttachMidiInput();
    void DetachMidiInput();
    void ReleaseHeldNotes();
    // Under the MIDI lock: every channel hears the message.
    void DeliverToChannels(DWORD message, DWORD time, int port);
    // A command-map edit of a target, which must be a command target.
    HRESULT RunCommandTargetEdit(HRESULT (CRCCommandMap::*edit)(LONG, CMvRCCommand*, CMvCommand*), LONG commandId,
                                 CRCTarget* target, CMvCommand* command);

    IDocumentEngine* m_engine;
    CRecorder* m_recorder = nullptr;
    // In the order of their life: patterns, then the channels that play
    // them, then the active ids that name both.
    CUndoMap<SHORT, CPattern*> m_patterns;
    CUndoVector<SHORT> m_patternOrder;
    CChanMap<SHORT, CChannel> m_channels;
    CUndoVector<SHORT> m_trackOrder;
    CUndoVector<SHORT> m_auxOrder;
    CUndoMap<SHORT, CAuxBus*> m_auxBuses;
    CUndoVector<CMainBus*> m_mainBus;
    CActiveContainerID m_activeContainer;
    CActivePatternID m_activePattern;
    CActivePatternInstanceID m_activeInstance;
    CTempoMap m_tempoMap;
    CMeterKeySigMap m_meterKeyMap;
    bool m_meterStaged = false;
    LONG m_stagedMeterTick = 0;
    CMeterKey m_stagedMeter;
    std::atomic<LONG> m_graphDirty{0};
    LONG m_routingChanged = 0;
    // Cached states: value and valid flag.
    BOOL m_noSolo = TRUE;
    BOOL m_noSoloValid = FALSE;
    BOOL m_noMute = TRUE;
    BOOL m_noMuteValid = FALSE;
    BOOL m_noArm = TRUE;
    BOOL m_noArmValid = FALSE;
    BOOL m_previewing = FALSE;
    BOOL m_closing = FALSE;
    BOOL m_sendMidiSync = FALSE;
    LONG m_songEnd = 0;
    std::vector<CDxSource*> m_sourcePool;
    DWORD m_rebuildRetries = 0;
    std::set<IUnknown*> m_keepAlive;
    CHeapCriticalSection m_graphLock;
    CHeapCriticalSection m_midiLock;
    std::atomic<DWORD> m_liveDrops{0};
    CDxSource* m_loneSource = nullptr;
    float m_shuffle = 0.0f;
    std::set<IDocStateChange*> m_listeners;
    ChannelTarget m_channelTarget;
    BusTarget m_auxTarget;
    BusTarget m_mainTarget;
    CSongTimeServices m_timeServices{m_tempoMap, m_meterKeyMap};
    // The open command of a MIDI file import, and whether it starts by
    // resetting the tempo map.
    CMvCommand* m_importCommand = nullptr;
    bool m_importResetsTempo = false;
    RenderView m_renderView{this};
    CUndoVector<Marker> m_markers;
    CString m_info[kInfoStringCount];
    CRCCommandMap m_commandMap{AsCommandDocument(), nullptr};
    bool m_midiSinkAdded = false;
};
