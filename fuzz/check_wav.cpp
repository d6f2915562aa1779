// SPDX-License-Identifier: GPL-3.0-or-later
// A WAV file played by the program: read whole or refused with a German message, then made into
// the output's 44 100 Hz stereo frames.
#include "fuzz_checks.h"

#include "sound/wav_format.h"
#include "support/errors.h"

#include <cmath>

namespace zk::fuzz {

void CheckWav(const QByteArray& input) {
    PcmSound sound;
    try {
        sound = DecodeWav(input);
    } catch (const FileError& error) {
        Require(!error.message().isEmpty(), "a refusal without a message");
        return;
    }
    Require(sound.channels >= 1 && sound.sampleRate >= 1, "a sound without channels or rate");
    Require(sound.samples.size() % static_cast<std::size_t>(sound.channels) == 0,
            "a sound whose samples are no whole frames");
    const QByteArray frames = ToOutputFrames(sound);
    const double inFrames = static_cast<double>(sound.samples.size()) / sound.channels;
    const double expected = inFrames * 44100.0 / sound.sampleRate;
    Require(frames.size() % 4 == 0, "output that is no whole stereo frames");
    Require(std::fabs(static_cast<double>(frames.size() / 4) - expected) <= 1.0,
            "the output does not last as long as the sound");
}

} // namespace zk::fuzz
