// Decodes an MP3 file with libmpg123 (gapless, so the encoder's delay and
// padding are cut when the file says how much): its rate, channels, frame
// mode and bit rate, the decoded float samples, and its ID3 tags.
#pragma once

#include <string>
#include <vector>

namespace mvtest {

struct DecodedMp3 {
    bool ok = false;
    std::string error;
    long rate = 0;
    int channels = 0;
    // Of the first audio frame: kbit/s, mpg123's mode (stereo, joint, mono)
    // and mode extension (bit 1: mid/side).
    int bitRate = 0;
    int mode = -1;
    int modeExt = 0;
    // Interleaved, `channels` to a frame.
    std::vector<float> samples;
    long Frames() const { return channels ? static_cast<long>(samples.size()) / channels : 0; }

    // ID3v1 (fields trimmed of padding), and whether an ID3v2 tag was read.
    bool hasV1 = false;
    std::string title, artist, album, year, comment;
    int track = 0;
    int genre = -1;
    bool hasV2 = false;
    std::string v2Title, v2Artist, v2Genre, v2Track;
};

DecodedMp3 DecodeMp3(const std::string& path);

}  // namespace mvtest
