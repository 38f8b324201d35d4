// Points ALSA at the audio tests' own devices (alsa-test.conf beside this
// file, after the system's configuration) and the file devices at files of
// a temporary folder. ALSA reads the configuration again whenever the list
// of files changes, so each test may pick its own.
#pragma once

#include <alsa/asoundlib.h>
#include <stdlib.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"

namespace mvtest {

class AlsaTestConfig {
public:
    // `extra`: another file of this folder read after alsa-test.conf.
    explicit AlsaTestConfig(const char* extra = nullptr)
    {
        // This header's own folder holds the configuration files. (Not
        // __FILE__: a compiler cache may make it relative to the build.)
        const std::string dir = MORVANE_SOURCE_DIR "/tests/platform/audio/";
        std::string path = std::string(snd_config_topdir()) + "/alsa.conf:" + dir + "alsa-test.conf";
        if (extra)
            path += ":" + dir + extra;
        setenv("ALSA_CONFIG_PATH", path.c_str(), 1);
        setenv("MVTEST_ALSA_FILE", OutputFile().c_str(), 1);
        setenv("MVTEST_ALSA_SECOND_FILE", SecondFile().c_str(), 1);
    }

    // What the default device and "mvsecond" were given, as written.
    std::string OutputFile() const { return m_dir.File("default.raw"); }
    std::string SecondFile() const { return m_dir.File("second.raw"); }

    template <class Sample>
    static std::vector<Sample> ReadSamples(const std::string& file)
    {
        std::ifstream in(file, std::ios::binary);
        const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::vector<Sample> samples(bytes.size() / sizeof(Sample));
        std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(Sample));
        return samples;
    }

private:
    TempDir m_dir;
};

}  // namespace mvtest
