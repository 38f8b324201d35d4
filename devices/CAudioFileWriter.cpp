#include "devices/CAudioFileWriter.h"

#include <fcntl.h>
#include <lame/lame.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "devices/IAudioDevice.h"

namespace {

// The largest output LAME asks room for: 1.25 x samples + 7200 bytes.
int EncodedBytesFor(int frames) { return frames + frames / 4 + 7200; }

// The permissions a file made by open(0666) would get under the umask.
mode_t NewFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

CAudioFileWriter::Layout CAudioFileWriter::DeviceLayout(const CExportOptions& options)
{
    Layout layout;
    if (options.format == CExportOptions::kFormatMp3 || options.bitsPerSample == CExportOptions::kFloatBits) {
        layout.bits = 32;
        layout.floatOutput = true;
        layout.frameBytes = 8;
        return layout;
    }
    layout.bits = static_cast<unsigned short>(options.bitsPerSample);
    // 24 bits as packed 3-byte samples; 32 bits as full-width words with the
    // sample in the upper bits, as a 32-bit sound card takes them.
    layout.mode24 = layout.bits == 24 ? 0 : (layout.bits == 32 ? 4 : 0);
    layout.frameBytes = DeviceFrameBytes(layout.bits, layout.mode24);
    return layout;
}

CAudioFileWriter::~CAudioFileWriter() { Abort(); }

HRESULT CAudioFileWriter::Open(const char* path, const CExportOptions& options, int maxFrames)
{
    if (IsOpen())
        return E_UNEXPECTED;
    if (!path || !*path || maxFrames < 1 || FAILED(options.Validate()))
        return E_INVALIDARG;
    m_options = options;
    m_layout = DeviceLayout(options);
    m_path = path;
    m_tempPath = m_path + ".XXXXXX";
    m_fd = ::mkstemp(m_tempPath.data());
    if (m_fd < 0) {
        m_tempPath.clear();
        return STG_E_WRITEFAULT;
    }
    ::fchmod(m_fd, NewFileMode());
    m_failed = false;
    m_frames = 0;
    m_words.assign(static_cast<std::size_t>(maxFrames) * 2, 0);
    HRESULT hr = options.format == CExportOptions::kFormatMp3 ? OpenMp3() : OpenWav();
    if (FAILED(hr))
        Abort();
    return hr;
}

HRESULT CAudioFileWriter::OpenWav()
{
    SF_INFO info{};
    info.samplerate = static_cast<int>(m_options.sampleRate);
    info.channels = 2;
    info.format = SF_FORMAT_WAV;
    switch (m_options.bitsPerSample) {
    case 16:
        info.format |= SF_FORMAT_PCM_16;
        break;
    case 24:
        info.format |= SF_FORMAT_PCM_24;
        break;
    case 32:
        info.format |= SF_FORMAT_PCM_32;
        break;
    default:
        info.format |= SF_FORMAT_FLOAT;
        break;
    }
    // The descriptor stays ours: it is closed once, by CloseHandles.
    m_sndfile = sf_open_fd(m_fd, SFM_WRITE, &info, SF_FALSE);
    if (!m_sndfile)
        return STG_E_WRITEFAULT;
    // The samples arrive scaled already; libsndfile must pass them through.
    sf_command(m_sndfile, SFC_SET_NORM_FLOAT, nullptr, SF_FALSE);
    sf_command(m_sndfile, SFC_SET_NORM_DOUBLE, nullptr, SF_FALSE);
    return S_OK;
}

HRESULT CAudioFileWriter::OpenMp3()
{
    const int dup = ::dup(m_fd);
    m_file = dup >= 0 ? ::fdopen(dup, "w+b") : nullptr;
    if (!m_file) {
        if (dup >= 0)
            ::close(dup);
        return STG_E_WRITEFAULT;
    }
    m_lame = lame_init();
    if (!m_lame)
        return E_OUTOFMEMORY;
    const int rate = static_cast<int>(m_options.sampleRate);
    lame_set_num_channels(m_lame, 2);
    lame_set_in_samplerate(m_lame, rate);
    lame_set_out_samplerate(m_lame, rate);
    lame_set_brate(m_lame, static_cast<int>(m_options.mp3BitRate));
    lame_set_quality(m_lame, static_cast<int>(m_options.mp3Quality));
    lame_set_mode(m_lame, static_cast<MPEG_mode>(m_options.stereoMode));
    lame_set_force_ms(m_lame, m_options.stereoMode == CExportOptions::kJointStereo && m_options.midSide ? 1 : 0);
    // On: the encoder's own choice of corner; off: no filter at all.
    lame_set_lowpassfreq(m_lame, m_options.lowPassOn ? 0 : -1);
    lame_set_highpassfreq(m_lame, m_options.highPassOn ? 0 : -1);
    // The Info frame lets decoders cut the encoder's delay and padding.
    lame_set_bWriteVbrTag(m_lame, 1);
    if (m_options.tagPresent) {
        id3tag_init(m_lame);
        id3tag_add_v2(m_lame);
        const auto& t = m_options.id3;
        id3tag_set_title(m_lame, t[CExportOptions::kTitle]);
        id3tag_set_artist(m_lame, t[CExportOptions::kArtist]);
        id3tag_set_album(m_lame, t[CExportOptions::kAlbum]);
        id3tag_set_year(m_lame, t[CExportOptions::kYear]);
        id3tag_set_comment(m_lame, t[CExportOptions::kComment]);
        // A track or genre the tag cannot hold is left out; the rest stays.
        if (!t[CExportOptions::kTrack].IsEmpty())
            id3tag_set_track(m_lame, t[CExportOptions::kTrack]);
        if (!t[CExportOptions::kGenre].IsEmpty())
            id3tag_set_genre(m_lame, t[CExportOptions::kGenre]);
    }
    if (lame_init_params(m_lame) < 0)
        return E_FAIL;
    m_encoded.assign(static_cast<std::size_t>(EncodedBytesFor(static_cast<int>(m_words.size() / 2))), 0);
    return S_OK;
}

HRESULT CAudioFileWriter::Write(const void* data, int frames)
{
    if (!IsOpen())
        return E_UNEXPECTED;
    if (!data || frames < 0 || static_cast<std::size_t>(frames) * 2 > m_words.size())
        return E_INVALIDARG;
    if (m_failed)
        return STG_E_WRITEFAULT;
    if (frames == 0)
        return S_OK;
    const HRESULT hr = m_lame ? WriteMp3(data, frames) : WriteWav(data, frames);
    if (FAILED(hr))
        m_failed = true;
    else
        m_frames += frames;
    return hr;
}

HRESULT CAudioFileWriter::WriteWav(const void* data, int frames)
{
    sf_count_t written = 0;
    if (m_layout.floatOutput) {
        written = sf_writef_float(m_sndfile, static_cast<const float*>(data), frames);
    } else if (m_layout.bits == 16) {
        written = sf_writef_short(m_sndfile, static_cast<const short*>(data), frames);
    } else if (m_layout.bits == 24) {
        // Packed little-endian 3-byte samples into the upper bits of words.
        const unsigned char* b = static_cast<const unsigned char*>(data);
        for (int i = 0; i < frames * 2; ++i, b += 3)
            m_words[static_cast<std::size_t>(i)] =
                static_cast<int>((static_cast<unsigned>(b[0]) << 8) | (static_cast<unsigned>(b[1]) << 16) |
                                 (static_cast<unsigned>(b[2]) << 24));
        written = sf_writef_int(m_sndfile, m_words.data(), frames);
    } else {
        written = sf_writef_int(m_sndfile, static_cast<const int*>(data), frames);
    }
    return written == frames && sf_error(m_sndfile) == SF_ERR_NO_ERROR ? S_OK : STG_E_WRITEFAULT;
}

bool CAudioFileWriter::WriteEncoded(const unsigned char* bytes, int count)
{
    if (count < 0)
        return false;
    return count == 0 || std::fwrite(bytes, 1, static_cast<std::size_t>(count), m_file) == static_cast<std::size_t>(count);
}

HRESULT CAudioFileWriter::WriteMp3(const void* data, int frames)
{
    const int bytes = lame_encode_buffer_interleaved_ieee_float(m_lame, static_cast<const float*>(data), frames,
                                                                m_encoded.data(), static_cast<int>(m_encoded.size()));
    return WriteEncoded(m_encoded.data(), bytes) ? S_OK : STG_E_WRITEFAULT;
}

HRESULT CAudioFileWriter::FinishWav()
{
    // Closing writes the header's final sizes.
    const int closed = sf_close(m_sndfile);
    m_sndfile = nullptr;
    return closed == 0 ? S_OK : STG_E_WRITEFAULT;
}

HRESULT CAudioFileWriter::FinishMp3()
{
    const int bytes = lame_encode_flush(m_lame, m_encoded.data(), static_cast<int>(m_encoded.size()));
    if (!WriteEncoded(m_encoded.data(), bytes) || std::fflush(m_file) != 0)
        return STG_E_WRITEFAULT;
    // The Info frame at the start now that the lengths are known.
    lame_mp3_tags_fid(m_lame, m_file);
    if (std::ferror(m_file) || std::fflush(m_file) != 0)
        return STG_E_WRITEFAULT;
    return S_OK;
}

HRESULT CAudioFileWriter::Commit()
{
    if (!IsOpen())
        return E_UNEXPECTED;
    HRESULT hr = m_failed ? STG_E_WRITEFAULT : (m_lame ? FinishMp3() : FinishWav());
    if (SUCCEEDED(hr) && ::fsync(m_fd) != 0)
        hr = STG_E_WRITEFAULT;
    if (m_file) {
        if (std::fclose(m_file) != 0)
            hr = STG_E_WRITEFAULT;
        m_file = nullptr;
    }
    if (SUCCEEDED(hr) && ::rename(m_tempPath.c_str(), m_path.c_str()) != 0)
        hr = STG_E_WRITEFAULT;
    if (FAILED(hr)) {
        Abort();
        return hr;
    }
    m_tempPath.clear();
    CloseHandles();
    return S_OK;
}

void CAudioFileWriter::CloseHandles()
{
    if (m_sndfile) {
        sf_close(m_sndfile);
        m_sndfile = nullptr;
    }
    if (m_lame) {
        lame_close(m_lame);
        m_lame = nullptr;
    }
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

void CAudioFileWriter::Abort()
{
    CloseHandles();
    if (!m_tempPath.empty()) {
        ::unlink(m_tempPath.c_str());
        m_tempPath.clear();
    }
    m_failed = false;
}
