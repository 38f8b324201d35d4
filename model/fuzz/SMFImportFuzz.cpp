// Feeds arbitrary bytes to the Standard MIDI File import, into a song
// document that keeps what the import builds, and checks what it made: a
// failed import leaves nothing behind and never ends its command; a
// successful one leaves patterns whose events are in time order and inside
// their duration, which is a whole measure count below the endless length,
// each placed once from 0 to that duration. A crash, a hang, a sanitizer
// report or a broken check stops the run. The combine question is answered
// by the input's last byte.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "platform/res/MessageBox.h"
#include "tests/model/SmfTestSupport.h"

namespace {

class CFixedAnswerer : public IPromptAnswerer {
public:
    int Answer(HWND, const char*, const char*, UINT) override { return m_answer; }
    int m_answer = IDYES;
};

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

void CheckImported(const smftest::CFakeImportDocument& document)
{
    for (const auto& instance : document.m_instances) {
        const CPattern* pattern = document.PatternById(instance.pattern);
        Check(pattern != nullptr);
        const LONG duration = pattern->GetDuration();
        Check(duration > 0 && duration < CPattern::kEndless);
        Check(instance.start == 0 && instance.end == duration);
        const std::vector<CMfxEvent>& events = pattern->GetEvents();
        Check(!events.empty());
        for (std::size_t i = 0; i < events.size(); ++i) {
            const CMfxEvent& e = events[i];
            Check(e.m_time >= 0 && e.m_time < duration);
            Check(i == 0 || events[i - 1].m_time <= e.m_time);
            if (e.m_kind == MfxNote)
                Check(static_cast<LONGLONG>(e.m_time) + MfxCopy(e.m_note.duration) <= duration);
        }
    }
    Check(document.m_patterns.size() == document.m_instances.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const auto answerer = std::make_shared<CFixedAnswerer>();
    static const CPromptAnswererScope scope(answerer);
    answerer->m_answer = size > 0 && (data[size - 1] & 1) ? IDNO : IDYES;

    smftest::CFakeImportDocument document;
    const HRESULT hr = smftest::Import(&document, smftest::Bytes(data, data + size));
    if (FAILED(hr)) {
        Check(document.IsUntouched());
        Check(document.m_command != smftest::CFakeImportDocument::Command::ended);
    } else {
        Check(hr == S_OK && document.m_command == smftest::CFakeImportDocument::Command::ended);
        CheckImported(document);
    }
    return 0;
}
