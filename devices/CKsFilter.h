// An opened kernel-streaming filter: its seven texts from the device's setup
// information (device interface path first, then friendly name, CLSID,
// description, hardware id, driver key, driver), its pins sorted into the
// viable lists by data flow and communication, its topology nodes, and the
// current render and capture pins it created.
//
// UI thread only. A created render pin is shared with whoever streams on it,
// so a device thread that still runs keeps its packets alive.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "devices/CKsIrpTarget.h"
#include "devices/CKsNode.h"
#include "devices/CKsPin.h"

class CKsFilter : public CKsIrpTarget {
public:
    enum Type { kGeneric = 0, kTopology = 1, kPCMAudio = 2, kSysAudioDevice = 5, kSysAudio = 6 };
    enum Text { kPath, kFriendlyName, kClsid, kDescription, kHardwareId, kDriverKey, kDriverFile, kTextCount };
    static constexpr std::size_t kMaxText = 260;

    CKsFilter(const std::vector<std::string>& texts, int type = kGeneric);
    ~CKsFilter() override;

    // Opens the device interface path for read and write, overlapped.
    bool Open();
    // Deletes the pins and nodes and empties the viable lists.
    virtual void ReleaseLists();
    // Reads every pin and sorts the usable ones into the viable lists; true
    // when any of them is not empty.
    virtual bool EnumeratePins();
    // Reads the topology nodes with their names and property support.
    bool EnumerateNodes();

    int GetType() const { return m_type; }
    const std::string& GetText(Text which) const { return m_texts[which]; }
    const std::vector<CKsPin*>& RenderSinkPins() const { return m_renderSink; }
    const std::vector<CKsPin*>& RenderSourcePins() const { return m_renderSource; }
    const std::vector<CKsPin*>& CapturePins() const { return m_capture; }
    const std::vector<CKsPin*>& CaptureSourcePins() const { return m_captureSource; }
    const std::vector<std::unique_ptr<CKsNode>>& Nodes() const { return m_nodes; }
    std::size_t PinCount() const { return m_pins.size(); }

protected:
    // The pin object for what enumeration read of pin `id`.
    virtual std::unique_ptr<CKsPin> MakePin(ULONG id, ULONG dataFlow, ULONG communication,
                                            const std::vector<KSDATARANGE_AUDIO>& ranges);

    std::vector<std::string> m_texts;
    const int m_type;
    std::vector<std::unique_ptr<CKsPin>> m_pins;
    std::vector<CKsPin*> m_renderSink;
    std::vector<CKsPin*> m_renderSource;
    std::vector<CKsPin*> m_capture;
    std::vector<CKsPin*> m_captureSource;
    std::vector<std::unique_ptr<CKsNode>> m_nodes;
    std::shared_ptr<CKsPin> m_renderPin;
    std::shared_ptr<CKsPin> m_capturePin;
};
