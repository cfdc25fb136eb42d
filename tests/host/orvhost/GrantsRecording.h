#pragma once
// The control channel the auto-tune tests decode under orvhost, and the settings that turn the
// plug-in's auto tune on.
#include "TestSupport.h"
#include "platform/settings/Registry.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <vector>

namespace orvhosttest {

// Turns auto tune on for receiver 1 in the settings under config.
inline void TurnOnAutoTune(const std::filesystem::path& config)
{
    testsupport::ScopedEnv env("XDG_CONFIG_HOME", config.string());
    platform::Registry reg;
    ASSERT_TRUE(reg.OpenKey("\\Software\\Korvanta Communications\\Tollan\\MPT1327\\Receiver 1", true));
    reg.WriteBool("Auto Tune To", true);
}

// 20 s of 11025 Hz stereo, the control channel on the right at 20 dB: two channel-number messages,
// then four grants. Host on 450.0125 MHz, which the channel-number messages call channel 20: channel
// 0 is 449.5125 MHz. The grant at 9 s comes while the host is still on the first traffic channel (no
// system codeword after enough buffers has made it the control channel yet) and is only listed.
inline void WriteGrants(const std::filesystem::path& wav)
{
    using testsupport::binPath;
    ASSERT_EQ(testsupport::runProgram({binPath("siggen").string(), "mpt1327", "--channels", "2", "--channel", "right",
                                       "--snr", "20", "--seconds", "20", "--number", "7.2,20", "--number", "7.6,20",
                                       "--grant", "8.5,1,100,200,100", "--grant", "9.2,1,101,201,300", "--grant",
                                       "13.5,1,102,202,200", "--grant", "17.5,1,103,203,50", "--out", wav.string()}),
              0);
}

// The frequencies the auto tune gives the host for those grants; the close gives the host its own back.
inline const std::vector<int64_t> kGrantTunes = {452012500, 454512500, 450762500, 450012500};

}  // namespace orvhosttest
