// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/midi_file.h"

#include "sound/last_piece.h"
#include "support/ansi_codec.h"
#include "support/errors.h"
#include "support/number_text.h"
#include "support/program_files.h"

#include <array>
#include <cmath>
#include <optional>
#include <vector>

namespace zk {

namespace {

constexpr int kChannels = 16;
constexpr int kDrumChannel = 9; // channel 10, counted from 1
constexpr int kMtsChannel = 0;
constexpr int kKeys = 128;
constexpr int kVelocity = 90;
constexpr int kReleaseVelocity = 64;

constexpr int kBendCentre = 8192;
constexpr int kBendRangeSemitones = 2;
// Bend steps per semitone: 8192 steps cover the range of 2 semitones on either side.
constexpr long double kBendStepsPerSemitone = 8192.0L / kBendRangeSemitones;

// A tuning message gives a key's pitch in 1/16384 of a semitone above key 0.
constexpr long long kMtsStepsPerSemitone = 16384;

// The longest time between two events a variable-length quantity can hold (four bytes of seven
// bits): 745 hours and a half in hundredths of a second.
constexpr long long kMaxDelta = 0x0FFFFFFF;

// The tempo event holds microseconds per quarter note in 24 bits.
constexpr int kMicrosecondsPerDauer = 10000;

// Control changes of the registered parameters.
constexpr int kRpnMsb = 101;
constexpr int kRpnLsb = 100;
constexpr int kDataEntryMsb = 6;
constexpr int kDataEntryLsb = 38;
constexpr int kRpnPitchBendRange = 0;
constexpr int kRpnTuningProgram = 3;
constexpr int kRpnTuningBank = 4;
constexpr int kRpnNone = 127;

// Semitones above MIDI key 0 (key 69 is a1 = 440 Hz).
long double Semitones(long double frequency) {
    return 69 + 12 * std::log2(frequency / 440);
}

// Whether a tone can be written: a positive finite frequency from key 0 up to, not including,
// half a semitone above key 127 (the nearest key must exist, and a tuning message cannot go
// below key 0).
bool Writable(long double frequency, long double& semitones) {
    if (!std::isfinite(frequency) || frequency <= 0) {
        return false;
    }
    semitones = Semitones(frequency);
    return semitones >= 0 && semitones < kKeys - 0.5L;
}

int NearestKey(long double semitones) {
    return static_cast<int>(std::nearbyint(semitones));
}

// A chord as written: its start and length in ticks and the semitones of its written tones.
struct TimedChord {
    long long start = 0;
    long long dauer = 0;
    std::vector<long double> semitones;
};

struct PieceTones {
    std::vector<TimedChord> chords;
    long long end = 0; // the piece's length in ticks
    int leftOut = 0;
};

PieceTones CollectTones(const LastPiece& piece) {
    PieceTones tones;
    for (const ChordRecord& record : piece.Records()) {
        if (record.dauer <= 0) {
            continue; // not heard: it takes no time
        }
        TimedChord chord{tones.end, record.dauer, {}};
        for (int i = 0; i < ChordFrequencies::kSlots; ++i) {
            const long double f = record.frequencies[i];
            if (f == 0) {
                break; // the first empty slot ends what is heard
            }
            long double semitones = 0;
            if (Writable(f, semitones)) {
                chord.semitones.push_back(semitones);
            } else {
                ++tones.leftOut;
            }
        }
        tones.end += record.dauer;
        if (!chord.semitones.empty()) {
            tones.chords.push_back(std::move(chord));
        }
    }
    return tones;
}

void AppendVariableLength(QByteArray& bytes, long long value) {
    char groups[4];
    int count = 0;
    do {
        groups[count++] = static_cast<char>(value & 0x7F);
        value >>= 7;
    } while (value > 0);
    while (count > 1) {
        bytes.append(static_cast<char>(groups[--count] | 0x80));
    }
    bytes.append(groups[0]);
}

[[noreturn]] void TooLong() {
    throw Error(QStringLiteral("Das Stück ist zu lang für eine MIDI-Datei: Zwischen zwei "
                               "Ereignissen dürfen höchstens 745 Stunden liegen."));
}

// The events of one track in time order, every event with its delta time and its own status
// byte (no running status, which some readers get wrong).
class TrackWriter {
public:
    void At(long long tick) { m_tick = tick; }

    void Channel(int status, int channel, int data1, int data2) {
        Delta();
        m_data.append(static_cast<char>(status | channel));
        m_data.append(static_cast<char>(data1));
        m_data.append(static_cast<char>(data2));
    }

    void ProgramChange(int channel, int program) {
        Delta();
        m_data.append(static_cast<char>(0xC0 | channel));
        m_data.append(static_cast<char>(program));
    }

    void Control(int channel, int controller, int value) {
        Channel(0xB0, channel, controller, value);
    }

    // A registered parameter set by data entry, then deselected, so that a later data entry
    // changes nothing by accident.
    void Rpn(int channel, int parameter, int msb, std::optional<int> lsb = std::nullopt) {
        Control(channel, kRpnMsb, 0);
        Control(channel, kRpnLsb, parameter);
        Control(channel, kDataEntryMsb, msb);
        if (lsb) {
            Control(channel, kDataEntryLsb, *lsb);
        }
        Control(channel, kRpnMsb, kRpnNone);
        Control(channel, kRpnLsb, kRpnNone);
    }

    void Meta(int type, const QByteArray& data) {
        Delta();
        m_data.append(static_cast<char>(0xFF));
        m_data.append(static_cast<char>(type));
        AppendVariableLength(m_data, data.size());
        m_data.append(data);
    }

    // `body` is everything after F0, the closing F7 included.
    void SysEx(const QByteArray& body) {
        Delta();
        m_data.append(static_cast<char>(0xF0));
        AppendVariableLength(m_data, body.size());
        m_data.append(body);
    }

    // The track chunk, closed by the end-of-track event at `end`.
    QByteArray Chunk(long long end) {
        At(end);
        Meta(0x2F, {});
        if (m_data.size() > 0xFFFFFFFFLL) {
            TooLong();
        }
        QByteArray chunk("MTrk");
        AppendBigEndian(chunk, static_cast<quint32>(m_data.size()), 4);
        return chunk + m_data;
    }

    static void AppendBigEndian(QByteArray& bytes, quint32 value, int size) {
        for (int shift = 8 * (size - 1); shift >= 0; shift -= 8) {
            bytes.append(static_cast<char>((value >> shift) & 0xFF));
        }
    }

private:
    void Delta() {
        const long long delta = m_tick - m_last;
        if (delta > kMaxDelta) {
            TooLong();
        }
        AppendVariableLength(m_data, delta);
        m_last = m_tick;
    }

    QByteArray m_data;
    long long m_tick = 0;
    long long m_last = 0;
};

// Name, tempo: the start of every track.
void WriteTrackStart(TrackWriter& track, const MidiOptions& options) {
    if (!options.trackName.isEmpty()) {
        track.Meta(0x03, EncodeFileText(options.trackName));
    }
    QByteArray tempo;
    TrackWriter::AppendBigEndian(
        tempo, static_cast<quint32>(options.quarterDauer * kMicrosecondsPerDauer), 3);
    track.Meta(0x51, tempo);
}

// A note as written: its channel and key, and for the bend method the bend it needs.
struct Note {
    int channel = 0;
    int key = 0;
    int bend = kBendCentre;
    bool sendBend = false; // the channel's bend must change first
};

// The notes of the bend method, chord by chord, and the channels they use.
struct BendPlan {
    std::vector<std::vector<Note>> chords;
    std::array<bool, kChannels> used{};
};

BendPlan PlanBends(const PieceTones& tones) {
    struct ChannelState {
        int bend = -1;             // unknown until the channel's first bend
        long long released = -1;   // when its last note ended; -1: never used
        bool takenByChord = false; // by the chord being planned
    };
    std::array<ChannelState, kChannels> channels;
    BendPlan plan;
    for (const TimedChord& chord : tones.chords) {
        std::vector<Note> notes;
        for (ChannelState& state : channels) {
            state.takenByChord = false;
        }
        for (const long double semitones : chord.semitones) {
            Note note;
            note.key = NearestKey(semitones);
            note.bend =
                kBendCentre +
                static_cast<int>(std::nearbyint((semitones - note.key) * kBendStepsPerSemitone));
            // A channel whose bend fits needs no change; otherwise the one released longest ago,
            // so that the notes still fading keep their bends.
            int best = -1;
            for (int c = 0; c < kChannels; ++c) {
                if (c == kDrumChannel || channels[c].takenByChord) {
                    continue;
                }
                if (best < 0) {
                    best = c;
                    continue;
                }
                const bool fits = channels[c].bend == note.bend;
                const bool bestFits = channels[best].bend == note.bend;
                if ((fits != bestFits) ? fits : channels[c].released < channels[best].released) {
                    best = c;
                }
            }
            ChannelState& state = channels[best];
            note.channel = best;
            note.sendBend = state.bend != note.bend;
            state.bend = note.bend;
            state.takenByChord = true;
            state.released = chord.start + chord.dauer;
            plan.used[best] = true;
            notes.push_back(note);
        }
        plan.chords.push_back(std::move(notes));
    }
    return plan;
}

// Writes the chords with their notes: the notes of a chord end where it ends, before anything
// that starts at the same tick.
template <typename BeforeNotes>
void WriteChords(TrackWriter& track, const PieceTones& tones,
                 const std::vector<std::vector<Note>>& notes, BeforeNotes beforeNotes) {
    for (std::size_t i = 0; i < tones.chords.size(); ++i) {
        const TimedChord& chord = tones.chords[i];
        track.At(chord.start);
        beforeNotes(i);
        for (const Note& note : notes[i]) {
            track.Channel(0x90, note.channel, note.key, kVelocity);
        }
        track.At(chord.start + chord.dauer);
        for (const Note& note : notes[i]) {
            track.Channel(0x80, note.channel, note.key, kReleaseVelocity);
        }
    }
}

QByteArray BendTrack(const PieceTones& tones, const MidiOptions& options) {
    const BendPlan plan = PlanBends(tones);
    TrackWriter track;
    WriteTrackStart(track, options);
    for (int c = 0; c < kChannels; ++c) {
        if (plan.used[c]) {
            track.ProgramChange(c, options.program);
            track.Rpn(c, kRpnPitchBendRange, kBendRangeSemitones, 0);
        }
    }
    WriteChords(track, tones, plan.chords, [&](std::size_t i) {
        for (const Note& note : plan.chords[i]) {
            if (note.sendBend) {
                track.Channel(0xE0, note.channel, note.bend & 0x7F, note.bend >> 7);
            }
        }
    });
    return track.Chunk(tones.end);
}

// The keys of the MTS method, chord by chord, each with its pitch in tuning steps.
struct MtsPlan {
    std::vector<std::vector<Note>> chords;
    std::vector<QByteArray> tuning; // per chord: the tuning message, or empty when none is needed
};

// The key for a tone: the nearest one not yet taken by its chord, else the closest free one.
int FreeKey(long double semitones, const std::array<bool, kKeys>& taken) {
    const int nearest = NearestKey(semitones);
    // The second-nearest key lies on the side of the tone's deviation.
    const int toward = semitones >= nearest ? 1 : -1;
    for (int distance = 0; distance < kKeys; ++distance) {
        for (const int key : {nearest + toward * distance, nearest - toward * distance}) {
            if (key >= 0 && key < kKeys && !taken[key]) {
                return key;
            }
        }
    }
    return nearest; // unreachable: a chord has at most eight tones
}

MtsPlan PlanTunings(const PieceTones& tones) {
    std::array<long long, kKeys> keyTuning;
    keyTuning.fill(-1); // unknown: every key is tuned before its first note
    MtsPlan plan;
    for (const TimedChord& chord : tones.chords) {
        std::array<bool, kKeys> taken{};
        std::vector<Note> notes;
        QByteArray changes;
        int count = 0;
        for (const long double semitones : chord.semitones) {
            Note note;
            note.channel = kMtsChannel;
            note.key = FreeKey(semitones, taken);
            taken[note.key] = true;
            const auto steps =
                static_cast<long long>(std::nearbyint(semitones * kMtsStepsPerSemitone));
            if (keyTuning[note.key] != steps) {
                keyTuning[note.key] = steps;
                const long long semitone = steps / kMtsStepsPerSemitone;
                const long long fraction = steps % kMtsStepsPerSemitone;
                changes.append(static_cast<char>(note.key));
                changes.append(static_cast<char>(semitone));
                changes.append(static_cast<char>(fraction >> 7));
                changes.append(static_cast<char>(fraction & 0x7F));
                ++count;
            }
            notes.push_back(note);
        }
        QByteArray message;
        if (count > 0) {
            // Non-real-time universal SysEx to every device: MIDI tuning, single note tuning
            // change with bank select, bank 0, tuning program 0.
            message = QByteArray::fromHex("7e7f08070000");
            message.append(static_cast<char>(count));
            message.append(changes);
            message.append(static_cast<char>(0xF7));
        }
        plan.chords.push_back(std::move(notes));
        plan.tuning.push_back(message);
    }
    return plan;
}

QByteArray MtsTrack(const PieceTones& tones, const MidiOptions& options) {
    const MtsPlan plan = PlanTunings(tones);
    TrackWriter track;
    WriteTrackStart(track, options);
    track.ProgramChange(kMtsChannel, options.program);
    bool selected = false;
    WriteChords(track, tones, plan.chords, [&](std::size_t i) {
        if (!plan.tuning[i].isEmpty()) {
            track.SysEx(plan.tuning[i]);
        }
        if (!selected) {
            // The channel plays in tuning bank 0, program 0 from here on.
            track.Rpn(kMtsChannel, kRpnTuningBank, 0);
            track.Rpn(kMtsChannel, kRpnTuningProgram, 0);
            selected = true;
        }
    });
    return track.Chunk(tones.end);
}

QString LeftOutWarning(int count) {
    const QString range =
        QStringLiteral("von %1 Hz bis %2 Hz")
            .arg(NumberToText(2, kMidiLowestFrequency), NumberToText(0, kMidiFrequencyLimit));
    return count == 1 ? QStringLiteral("Hinweis: 1 Ton fehlt in der MIDI-Datei, weil seine "
                                       "Frequenz negativ ist oder außerhalb des Tonumfangs von "
                                       "MIDI (%1) liegt.")
                            .arg(range)
                      : QStringLiteral("Hinweis: %1 Töne fehlen in der MIDI-Datei, weil ihre "
                                       "Frequenz negativ ist oder außerhalb des Tonumfangs von "
                                       "MIDI (%2) liegt.")
                            .arg(count)
                            .arg(range);
}

} // namespace

std::optional<MidiTuning> MidiTuningFromName(const QString& name) {
    if (name == u"bend") {
        return MidiTuning::Bend;
    }
    if (name == u"mts") {
        return MidiTuning::Mts;
    }
    return std::nullopt;
}

MidiExport ExportMidi(const LastPiece& piece, const MidiOptions& options) {
    if (options.program < 0 || options.program > 127) {
        throw RangeError(QStringLiteral("Das MIDI-Programm %1 gibt es nicht: möglich sind 0 bis "
                                        "127.")
                             .arg(options.program));
    }
    if (options.quarterDauer < 1 || options.quarterDauer > kMaxQuarterDauer) {
        throw RangeError(QStringLiteral("Eine Viertelnote von %1 Hundertstelsekunden lässt sich "
                                        "nicht als MIDI-Tempo schreiben.")
                             .arg(options.quarterDauer));
    }
    const PieceTones tones = CollectTones(piece);
    if (tones.end == 0) {
        throw Error(QStringLiteral("Das Stück ist leer: Es hat keinen Akkord und keine Pause mit "
                                   "einer Dauer, die in eine MIDI-Datei geschrieben werden "
                                   "könnten."));
    }

    MidiExport result;
    // Header: format 0 (one track), one track, the division in ticks per quarter note.
    result.bytes = QByteArray("MThd");
    TrackWriter::AppendBigEndian(result.bytes, 6, 4);
    TrackWriter::AppendBigEndian(result.bytes, 0, 2);
    TrackWriter::AppendBigEndian(result.bytes, 1, 2);
    TrackWriter::AppendBigEndian(result.bytes, static_cast<quint32>(options.quarterDauer), 2);
    result.bytes +=
        options.tuning == MidiTuning::Bend ? BendTrack(tones, options) : MtsTrack(tones, options);
    for (const TimedChord& chord : tones.chords) {
        result.notes += static_cast<int>(chord.semitones.size());
    }
    result.leftOut = tones.leftOut;
    result.dauer = tones.end;
    if (tones.leftOut > 0) {
        result.warning = LeftOutWarning(tones.leftOut);
    }
    return result;
}

MidiExport WriteMidiFile(const QString& path, const LastPiece& piece, const MidiOptions& options) {
    MidiExport result = ExportMidi(piece, options);
    WriteFileBytes(path, result.bytes);
    return result;
}

int MidiQuarterDauer(long long thirtySecondLength) {
    if (thirtySecondLength < 1 || thirtySecondLength > kMaxQuarterDauer / 8) {
        return kDefaultQuarterDauer;
    }
    return static_cast<int>(8 * thirtySecondLength);
}

} // namespace zk
