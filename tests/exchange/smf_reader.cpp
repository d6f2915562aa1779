// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/smf_reader.h"

#include <cmath>
#include <map>

namespace zk::test {

namespace {

class Bytes {
public:
    Bytes(const QByteArray& bytes, qsizetype begin, qsizetype end)
        : m_bytes(bytes), m_pos(begin), m_end(end) {}

    bool AtEnd() const { return m_pos >= m_end; }
    qsizetype Left() const { return m_end - m_pos; }
    int Peek() const { return static_cast<unsigned char>(m_bytes.at(m_pos)); }
    int Next() { return static_cast<unsigned char>(m_bytes.at(m_pos++)); }

    QByteArray Take(qsizetype count) {
        const QByteArray part = m_bytes.mid(m_pos, count);
        m_pos += count;
        return part;
    }

    // A variable-length quantity of at most four bytes; -1 when it is longer or cut off.
    long long VariableLength() {
        long long value = 0;
        for (int i = 0; i < 4; ++i) {
            if (AtEnd()) {
                return -1;
            }
            const int byte = Next();
            value = (value << 7) | (byte & 0x7F);
            if ((byte & 0x80) == 0) {
                return value;
            }
        }
        return -1;
    }

private:
    const QByteArray& m_bytes;
    qsizetype m_pos;
    qsizetype m_end;
};

quint32 BigEndian(const QByteArray& bytes, qsizetype at, int size) {
    quint32 value = 0;
    for (int i = 0; i < size; ++i) {
        value = (value << 8) | static_cast<unsigned char>(bytes.at(at + i));
    }
    return value;
}

// Data bytes that follow a channel status.
int DataBytes(int status) {
    const int kind = status & 0xF0;
    return kind == 0xC0 || kind == 0xD0 ? 1 : 2;
}

} // namespace

SmfFile ReadSmf(const QByteArray& bytes) {
    SmfFile file;
    if (bytes.size() < 14 || !bytes.startsWith("MThd") || BigEndian(bytes, 4, 4) != 6) {
        file.problems << QStringLiteral("no header chunk of length 6");
        return file;
    }
    file.format = static_cast<int>(BigEndian(bytes, 8, 2));
    file.tracks = static_cast<int>(BigEndian(bytes, 10, 2));
    file.division = static_cast<int>(BigEndian(bytes, 12, 2));
    if (file.division & 0x8000) {
        file.problems << QStringLiteral("SMPTE division");
    }
    if (bytes.size() < 22 || bytes.mid(14, 4) != "MTrk") {
        file.problems << QStringLiteral("no track chunk after the header");
        return file;
    }
    const qsizetype length = BigEndian(bytes, 18, 4);
    if (22 + length != bytes.size()) {
        file.problems << QStringLiteral("track length %1, but %2 bytes follow")
                             .arg(length)
                             .arg(bytes.size() - 22);
        return file;
    }
    Bytes track(bytes, 22, bytes.size());
    long long tick = 0;
    bool ended = false;
    while (!track.AtEnd()) {
        if (ended) {
            file.problems << QStringLiteral("events after the end of the track");
            break;
        }
        const long long delta = track.VariableLength();
        if (delta < 0 || track.AtEnd()) {
            file.problems << QStringLiteral("bad delta time");
            break;
        }
        tick += delta;
        SmfEvent event{tick, {}};
        const int status = track.Next();
        if ((status & 0x80) == 0) {
            file.problems << QStringLiteral("running status at tick %1").arg(tick);
            break;
        }
        event.bytes.append(static_cast<char>(status));
        if (status == 0xFF) {
            if (track.Left() < 2) {
                file.problems << QStringLiteral("meta event cut off");
                break;
            }
            event.bytes.append(static_cast<char>(track.Next()));
            const long long size = track.VariableLength();
            if (size < 0 || size > track.Left()) {
                file.problems << QStringLiteral("meta length beyond the chunk");
                break;
            }
            event.bytes.append(track.Take(size));
            ended = static_cast<unsigned char>(event.bytes.at(1)) == 0x2F;
            if (ended) {
                file.endTick = tick;
            }
        } else if (status == 0xF0) {
            const long long size = track.VariableLength();
            if (size < 1 || size > track.Left()) {
                file.problems << QStringLiteral("SysEx length beyond the chunk");
                break;
            }
            event.bytes.append(track.Take(size));
            if (static_cast<unsigned char>(event.bytes.back()) != 0xF7) {
                file.problems << QStringLiteral("SysEx without F7");
            }
        } else if (status >= 0xF0) {
            file.problems << QStringLiteral("unexpected status %1").arg(status, 2, 16);
            break;
        } else {
            const int count = DataBytes(status);
            if (track.Left() < count) {
                file.problems << QStringLiteral("channel message cut off");
                break;
            }
            for (int i = 0; i < count; ++i) {
                const int data = track.Next();
                if (data & 0x80) {
                    file.problems << QStringLiteral("data byte with the high bit set");
                }
                event.bytes.append(static_cast<char>(data));
            }
        }
        file.events.push_back(event);
    }
    if (!ended) {
        file.problems << QStringLiteral("no end-of-track event");
    }
    return file;
}

DecodedPiece DecodeSmf(const SmfFile& file) {
    DecodedPiece piece;
    piece.problems = file.problems;
    // Tunings by bank, program and key: semitones above key 0, set by single note changes.
    std::map<std::tuple<int, int, int>, long double> tunings;
    struct Selection {
        int msb = 127;
        int lsb = 127;
    };
    std::array<Selection, 16> rpn;
    std::map<std::pair<int, int>, std::size_t> sounding; // (channel, key) -> note index
    // When each channel's last note ended.
    std::array<long long, 16> lastRelease;
    lastRelease.fill(-1);

    for (const SmfEvent& event : file.events) {
        const auto byte = [&](int i) { return static_cast<unsigned char>(event.bytes.at(i)); };
        const int status = byte(0);
        if (status == 0xFF) {
            const int type = byte(1);
            const QByteArray data = event.bytes.mid(2);
            if (type == 0x51) {
                piece.tempo = data.size() == 3 ? BigEndian(data, 0, 3) : -1;
            } else if (type == 0x03) {
                piece.trackName = data;
                ++piece.trackNames;
            } else if (type != 0x2F) {
                piece.problems << QStringLiteral("unexpected meta event %1").arg(type);
            }
            continue;
        }
        if (status == 0xF0) {
            const QByteArray body = event.bytes.mid(1);
            const bool realTime = body.size() > 0 && static_cast<unsigned char>(body.at(0)) == 0x7F;
            const bool nonRealTime =
                body.size() > 0 && static_cast<unsigned char>(body.at(0)) == 0x7E;
            if (body.size() < 8 || !(realTime || nonRealTime) || body.at(2) != 0x08 ||
                (body.at(3) != 0x02 && body.at(3) != 0x07)) {
                piece.problems << QStringLiteral("unexpected SysEx %1").arg(body.toHex());
                continue;
            }
            if (static_cast<unsigned char>(body.at(1)) != 0x7F) {
                piece.problems << QStringLiteral("SysEx not to every device");
            }
            const bool withBank = body.at(3) == 0x07;
            qsizetype at = 4;
            const int bank = withBank ? body.at(at++) : 0;
            const int program = body.at(at++);
            const int count = body.at(at++);
            if (body.size() != at + 4 * count + 1) {
                piece.problems << QStringLiteral("tuning message of %1 keys has %2 bytes")
                                      .arg(count)
                                      .arg(body.size());
                continue;
            }
            for (int i = 0; i < count; ++i, at += 4) {
                const int key = body.at(at);
                const int semitone = body.at(at + 1);
                const int fraction = (body.at(at + 2) << 7) | body.at(at + 3);
                tunings[{bank, program, key}] = semitone + fraction / 16384.0L;
            }
            ++piece.tuningMessages;
            piece.realTimeTuning += realTime;
            if (piece.firstTuningAt < 0) {
                piece.firstTuningAt = event.tick;
            }
            continue;
        }
        const int kind = status & 0xF0;
        const int channel = status & 0x0F;
        ChannelRecord& record = piece.channels[channel];
        const int data1 = byte(1);
        const int data2 = event.bytes.size() > 2 ? byte(2) : 0;
        if (kind == 0x90 && data2 > 0) {
            if (sounding.contains({channel, data1})) {
                piece.problems << QStringLiteral("key %1 struck twice on channel %2 at tick %3")
                                      .arg(data1)
                                      .arg(channel)
                                      .arg(event.tick);
            }
            if (record.program < 0) {
                piece.problems
                    << QStringLiteral("note on channel %1 without a program").arg(channel);
            }
            long double semitones = data1;
            if (record.tuningProgram >= 0) {
                const auto tuned =
                    tunings.find({std::max(record.tuningBank, 0), record.tuningProgram, data1});
                if (tuned == tunings.end()) {
                    piece.problems
                        << QStringLiteral("key %1 struck before it was tuned").arg(data1);
                } else {
                    semitones = tuned->second;
                }
            }
            if (record.bend != 8192) {
                if (record.bendRange < 0) {
                    piece.problems
                        << QStringLiteral("bend on channel %1 without a range").arg(channel);
                }
                semitones += (record.bend - 8192) / 8192.0L * record.bendRange;
            }
            DecodedNote note;
            note.start = event.tick;
            note.channel = channel;
            note.key = data1;
            note.velocity = data2;
            note.frequency = 440 * std::exp2((semitones - 69) / 12);
            sounding[{channel, data1}] = piece.notes.size();
            piece.notes.push_back(note);
            if (piece.firstNoteAt < 0) {
                piece.firstNoteAt = event.tick;
            }
        } else if (kind == 0x80 || kind == 0x90) {
            const auto found = sounding.find({channel, data1});
            if (found == sounding.end()) {
                piece.problems << QStringLiteral("key %1 released on channel %2 but not sounding")
                                      .arg(data1)
                                      .arg(channel);
                continue;
            }
            piece.notes[found->second].end = event.tick;
            sounding.erase(found);
            lastRelease[channel] = event.tick;
        } else if (kind == 0xE0) {
            const int bend = data1 | (data2 << 7);
            if (bend != record.bend) {
                bool busy = false;
                for (const auto& [where, index] : sounding) {
                    busy = busy || where.first == channel;
                }
                record.bendChangesWhileSounding += busy;
                if (lastRelease[channel] == event.tick) {
                    record.bendChangesAtRelease.push_back(event.tick);
                }
            }
            record.bend = bend;
        } else if (kind == 0xC0) {
            record.program = data1;
            ++record.programChanges;
        } else if (kind == 0xB0) {
            Selection& selection = rpn[channel];
            if (data1 == 101) {
                selection.msb = data2;
            } else if (data1 == 100) {
                selection.lsb = data2;
            } else if (data1 == 6 || data1 == 38) {
                if (selection.msb != 0) {
                    piece.problems << QStringLiteral("data entry without a registered parameter");
                    continue;
                }
                if (selection.lsb == 0) {
                    // Pitch-bend range: semitones (MSB) and cents (LSB).
                    const long double whole = std::floor(std::max(record.bendRange, 0.0L));
                    record.bendRange = data1 == 6 ? data2 : whole + data2 / 100.0L;
                    record.bendRangeSettings += data1 == 6;
                } else if (selection.lsb == 3 && data1 == 6) {
                    record.tuningProgram = data2;
                    record.tuningSelectedAt = event.tick;
                } else if (selection.lsb == 4 && data1 == 6) {
                    record.tuningBank = data2;
                } else {
                    piece.problems << QStringLiteral("unexpected parameter %1").arg(selection.lsb);
                }
            } else {
                piece.problems << QStringLiteral("unexpected controller %1").arg(data1);
            }
        } else {
            piece.problems << QStringLiteral("unexpected message %1").arg(status, 2, 16);
        }
    }
    if (!sounding.empty()) {
        piece.problems << QStringLiteral("%1 notes still sounding at the end").arg(sounding.size());
    }
    return piece;
}

DecodedPiece DecodeSmfBytes(const QByteArray& bytes) {
    return DecodeSmf(ReadSmf(bytes));
}

long double Cents(long double frequency, long double reference) {
    return 1200 * std::log2(frequency / reference);
}

} // namespace zk::test
