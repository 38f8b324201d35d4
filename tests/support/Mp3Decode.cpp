#include "tests/support/Mp3Decode.h"

#include <mpg123.h>

#include <cstring>

namespace mvtest {

namespace {

std::string Field(const char* p, std::size_t n)
{
    std::string s(p, strnlen(p, n));
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0'))
        s.pop_back();
    return s;
}

std::string Text(const mpg123_string* s) { return s && s->p ? std::string(s->p, strnlen(s->p, s->fill)) : ""; }

}  // namespace

DecodedMp3 DecodeMp3(const std::string& path)
{
    DecodedMp3 out;
    mpg123_init();
    int err = 0;
    mpg123_handle* h = mpg123_new(nullptr, &err);
    if (!h) {
        out.error = "mpg123_new";
        return out;
    }
    mpg123_param(h, MPG123_ADD_FLAGS, MPG123_GAPLESS | MPG123_FORCE_FLOAT, 0.0);
    if (mpg123_open(h, path.c_str()) != MPG123_OK) {
        out.error = mpg123_strerror(h);
        mpg123_delete(h);
        return out;
    }
    long rate = 0;
    int channels = 0, encoding = 0;
    if (mpg123_getformat(h, &rate, &channels, &encoding) != MPG123_OK || encoding != MPG123_ENC_FLOAT_32) {
        out.error = "format";
        mpg123_close(h);
        mpg123_delete(h);
        return out;
    }
    out.rate = rate;
    out.channels = channels;
    mpg123_frameinfo2 info{};
    if (mpg123_info2(h, &info) == MPG123_OK) {
        out.bitRate = info.bitrate;
        out.mode = info.mode;
        out.modeExt = info.mode_ext;
    }
    std::vector<unsigned char> buffer(1 << 16);
    for (;;) {
        std::size_t got = 0;
        const int r = mpg123_read(h, buffer.data(), buffer.size(), &got);
        const auto* f = reinterpret_cast<const float*>(buffer.data());
        out.samples.insert(out.samples.end(), f, f + got / sizeof(float));
        if (r == MPG123_DONE)
            break;
        if (r != MPG123_OK && r != MPG123_NEW_FORMAT) {
            out.error = mpg123_strerror(h);
            mpg123_close(h);
            mpg123_delete(h);
            return out;
        }
    }
    mpg123_id3v1* v1 = nullptr;
    mpg123_id3v2* v2 = nullptr;
    if ((mpg123_meta_check(h) & MPG123_ID3) && mpg123_id3(h, &v1, &v2) == MPG123_OK) {
        if (v1 && std::memcmp(v1->tag, "TAG", 3) == 0) {
            out.hasV1 = true;
            out.title = Field(v1->title, 30);
            out.artist = Field(v1->artist, 30);
            out.album = Field(v1->album, 30);
            out.year = Field(v1->year, 4);
            // ID3v1.1: a zero at 28 and the track number at 29.
            out.comment = Field(v1->comment, v1->comment[28] == 0 ? 28 : 30);
            out.track = v1->comment[28] == 0 ? static_cast<unsigned char>(v1->comment[29]) : 0;
            out.genre = v1->genre;
        }
        if (v2) {
            out.hasV2 = true;
            out.v2Title = Text(v2->title);
            out.v2Artist = Text(v2->artist);
            out.v2Genre = Text(v2->genre);
            for (std::size_t i = 0; i < v2->texts; ++i)
                if (std::memcmp(v2->text[i].id, "TRCK", 4) == 0)
                    out.v2Track = Text(&v2->text[i].text);
        }
    }
    mpg123_close(h);
    mpg123_delete(h);
    out.ok = true;
    return out;
}

}  // namespace mvtest
