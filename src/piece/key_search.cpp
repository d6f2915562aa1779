// SPDX-License-Identifier: GPL-3.0-or-later
#include "piece/key_search.h"

#include "engine/chord_notation.h"
#include "engine/key_scale.h"
#include "engine/tone_names.h"
#include "piece/comma_drift.h"
#include "piece/piece_table.h"
#include "support/checked_math.h"
#include "support/errors.h"
#include "support/text_helpers.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>
#include <limits>
#include <optional>
#include <unordered_map>

namespace zk {

namespace {

// How far the search looks from the first key: seven fifths and three major thirds either way,
// enough for every key a tonal piece visits, each with its comma-high and comma-low neighbours.
constexpr int kWindowFifths = 7;
constexpr int kWindowThirds = 3;
// An interval is pure within a cent of its just size; a tone is held when it moves less than
// half a cent; two tonics or tones within a hundredth of a cent are the same.
constexpr double kPureTolerance = 1.0;
constexpr double kMoveTolerance = 0.5;
constexpr double kSameTolerance = 0.01;
// A tone that sounds this far from its written pitch sounds like its neighbour on the keyboard.
constexpr double kStrayCents = 45;
constexpr double kInfinity = std::numeric_limits<double>::infinity();

double CommaCents() {
    static const double comma = static_cast<double>(SyntonicCommaCents());
    return comma;
}

double CentsOf(long double ratio) {
    return static_cast<double>(1200 * std::log2(ratio));
}

// The twelve degrees of a just key on the lattice of fifths and thirds: 1, 16/15, 9/8, 6/5, 5/4,
// 4/3, 45/32, 3/2, 8/5, 5/3, 9/5, 15/8.
constexpr std::array<LatticePoint, 12> kDegrees{{{0, 0},
                                                 {-1, -1},
                                                 {2, 0},
                                                 {1, -1},
                                                 {0, 1},
                                                 {-1, 0},
                                                 {2, 1},
                                                 {1, 0},
                                                 {0, -1},
                                                 {-1, 1},
                                                 {2, -1},
                                                 {1, 1}}};
// 81/80: four fifths up, a major third and two octaves down.
constexpr LatticePoint kSyntonicComma{4, -1};

LatticePoint operator+(LatticePoint a, LatticePoint b) {
    return {a.fifths + b.fifths, a.thirds + b.thirds};
}

// A spelled pitch's place on the line of fifths: 0 for C, 1 for G, -1 for F, 7 for C sharp. A
// lattice point's spelling moves one step per fifth and four per major third; a comma keeps it.
int LineOfFifths(LatticePoint point) {
    return point.fifths + 4 * point.thirds;
}

// The just size in cents of an interval of that many semitones, or nothing for the sizes the rule
// does not judge (unisons, seconds, the tritone, sevenths).
std::optional<double> PureSize(int semitones) {
    // Index: semitones 0..11; 0 marks the sizes left alone.
    static constexpr long double kRatios[12] = {0, 0,        0,        6.0L / 5, 5.0L / 4, 4.0L / 3,
                                                0, 3.0L / 2, 8.0L / 5, 5.0L / 3, 0,        0};
    const long double ratio = kRatios[FloorMod(semitones, 12)];
    if (ratio == 0) {
        return std::nullopt;
    }
    return CentsOf(ratio);
}

// The letters of a place on the line of fifths as a key cell writes them: "c", "f#", "e*", "h" (B
// natural), "b" (B flat), "b*", "h#".
QString GermanLetters(int lineOfFifths) {
    static constexpr char kLetters[] = "fcgdaeh"; // F C G D A E B on the line of fifths
    const int letter = kLetters[FloorMod(lineOfFifths + 1, 7)];
    const int alter = FloorDiv(lineOfFifths + 1, 7);
    if (letter == 'h' && alter < 0) {
        return QStringLiteral("b") + QString(-alter - 1, u'*');
    }
    return QChar(letter) + (alter > 0 ? QString(alter, u'#') : QString(-alter, u'*'));
}

// A tone with its register, as the chord column writes it: "e1" (E4), "g" (G3), "G" (G2), "C1".
QString RegisterName(int lineOfFifths, int key) {
    static constexpr int kSemitone[7] = {5, 0, 7, 2, 9, 4, 11}; // F C G D A E B
    const int semitone = kSemitone[FloorMod(lineOfFifths + 1, 7)] + FloorDiv(lineOfFifths + 1, 7);
    const int octave = FloorDiv(key - semitone, 12) - 1; // 4 for the octave of middle C
    const QString letters = GermanLetters(lineOfFifths);
    QString first = letters.left(1);
    QString digit;
    if (octave >= 3) {
        if (octave > 3) {
            digit = QString::number(octave - 3);
        }
    } else {
        first = first.toUpper();
        if (octave < 2) {
            digit = QString::number(2 - octave);
        }
    }
    return first + digit + letters.mid(1);
}

// One slot of a row's chord.
struct Slot {
    ParsedTone tone;
    bool sounds = false;
    int key = 0;          // its key on the keyboard, 69 for a1
    int lineOfFifths = 0; // its spelling
    // The written pitch in cents from a1: its key on the keyboard and its own commas and other
    // modifiers, which the writer meant.
    double written = 0;
};

// Two tones of a row whose interval the rule judges, lower one first.
struct Interval {
    int low = 0;
    int high = 0;
    double pure = 0;
};

// A key of the keyboard that sounds in this row and the one before it: the tones there and here.
// Rows without duration and chord between them do not part them; a rest does.
struct Link {
    int previous = 0;
    int current = 0;
};

enum class RowKind {
    Free,  // the search chooses the key
    Kept,  // the entry stays and the search goes on from where it leads
    Fixed, // equal temperament or a temperament is in force: left as it is
};

struct Row {
    int tableRow = 0;
    RowKind kind = RowKind::Free;
    // A free row just after equal temperament must enter a key, or "~" would stay in force.
    bool needsEntry = false;
    QString cell; // the key cell as it stands, trimmed
    QString chord;
    std::array<Slot, ChordFrequencies::kSlots> tones;
    int soundingTones = 0;
    int lowest = -1; // slot of the lowest tone
    std::vector<Interval> intervals;
    std::vector<Link> links;   // with the row before, when that row sounds right before this one
    std::size_t linkedRow = 0; // that row, among the rows
};

bool IsBlankRow(const PieceTable& table, int row) {
    return IsBlank(table.Cell(PieceTable::kDurationColumn, row)) &&
           IsBlank(table.Cell(PieceTable::kChordColumn, row));
}

// Letter and accidentals of a slot as written: its place on the line of fifths.
int SpellingOf(const QString& slotText) {
    static constexpr int kLine[7] = {0, 2, 4, -1, 1, 3, 5}; // c d e f g a h
    int i = 0;
    while (i < slotText.size() && slotText.at(i) == u' ') {
        ++i;
    }
    if (i >= slotText.size()) {
        return 0;
    }
    const QChar letter = slotText.at(i).toLower();
    static const QString kLetters = QStringLiteral("cdefgah");
    int line = 0;
    if (letter == u'b') {
        line = kLine[6] - 7;
    } else if (const int index = static_cast<int>(kLetters.indexOf(letter)); index >= 0) {
        line = kLine[index];
    }
    ++i;
    if (i < slotText.size() && slotText.at(i).isDigit()) {
        ++i; // the octave
    }
    for (; i < slotText.size(); ++i) {
        const QChar c = slotText.at(i);
        if (c == u'#') {
            line += 7;
        } else if (c == u'*') {
            line -= 7;
        } else {
            break;
        }
    }
    return line;
}

// Reads the chord's tones, their keys and spellings, and the intervals the rule judges.
void ReadChord(Row& row) {
    int pos = 1;
    long double previous = 0;
    for (int i = 0; i < ChordFrequencies::kSlots; ++i) {
        Slot& slot = row.tones[static_cast<std::size_t>(i)];
        const int start = pos;
        try {
            slot.tone = ParseTone(row.chord, pos);
            // The written pitch: the tempered tone with its commas, leading-tone steps and
            // overtones ("G:7" sounds near f2), raised as the chord raises it.
            long double written = slot.tone.frequency;
            if (written > 0) {
                written = slot.tone.modifiers.Apply(written);
                while (!slot.tone.digitGiven && written <= previous) {
                    written *= 2;
                }
            }
            previous = written;
            if (written > 0) {
                slot.sounds = true;
                slot.written = CentsOf(written / 440);
                slot.key = static_cast<int>(std::lround(slot.written / 100)) + 69;
                slot.lineOfFifths = SpellingOf(row.chord.mid(start - 1, pos - start));
            }
        } catch (const Error&) {
            // A tone beyond the representable range sounds nowhere.
            slot = Slot{};
            previous = 0;
        }
    }
    for (int i = 0; i < ChordFrequencies::kSlots; ++i) {
        const Slot& a = row.tones[static_cast<std::size_t>(i)];
        if (!a.sounds) {
            continue;
        }
        ++row.soundingTones;
        if (row.lowest < 0 || a.key < row.tones[static_cast<std::size_t>(row.lowest)].key) {
            row.lowest = i;
        }
        for (int j = i + 1; j < ChordFrequencies::kSlots; ++j) {
            const Slot& b = row.tones[static_cast<std::size_t>(j)];
            if (!b.sounds || a.key == b.key) {
                continue;
            }
            const bool aLow = a.key < b.key;
            const int size = FloorMod(aLow ? b.key - a.key : a.key - b.key, 12);
            if (const auto pure = PureSize(size)) {
                row.intervals.push_back({aLow ? i : j, aLow ? j : i, *pure});
            }
        }
    }
}

void LinkTo(const Row& previous, std::size_t previousIndex, Row& row) {
    row.linkedRow = previousIndex;
    std::vector<int> seen;
    for (int i = 0; i < ChordFrequencies::kSlots; ++i) {
        const Slot& slot = row.tones[static_cast<std::size_t>(i)];
        if (!slot.sounds || std::find(seen.begin(), seen.end(), slot.key) != seen.end()) {
            continue;
        }
        seen.push_back(slot.key);
        for (int j = 0; j < ChordFrequencies::kSlots; ++j) {
            const Slot& before = previous.tones[static_cast<std::size_t>(j)];
            if (before.sounds && before.key == slot.key) {
                row.links.push_back({j, i});
                break;
            }
        }
    }
}

bool YieldsTone(const QString& entry) {
    int pos = 1;
    try {
        return ParseTone(entry, pos).frequency > 0;
    } catch (const Error&) {
        return false;
    }
}

bool IsTemperedEntry(const QString& entry) {
    return entry.startsWith(u'~') || (entry.size() > 1 && entry.at(0) == u'm');
}

// A run of rows whose keys hang together: the first and each one after a temperament, which
// rebuilds the scale from the temperament list and so forgets the just key before it.
struct Segment {
    std::size_t begin = 0; // into the rows
    std::size_t end = 0;
    // The scale the first entry is snapped to: the just scale on a1 = 440 Hz at the start of the
    // piece, the temperament's after one.
    QString scaleCode;
    // The first entry is kept (after a temperament, or kept by the user); otherwise these are
    // tried and the cheaper wins.
    QStringList originTexts;
};

struct Eval {
    std::array<double, ChordFrequencies::kSlots> cents{};
    int impure = 0;
    int strays = 0;    // tones nearer to another key of the keyboard than to their own
    double local = -1; // what the row costs in the key, before its neighbours; -1 until known
    bool valid = false;
};

struct KeyState {
    bool onLattice = true;
    LatticePoint point;
    long double tonic = 0; // Hz, within [origin, 2 × origin)
    int lineOfFifths = 0;  // spelling of the tonic
    double drift = 0;      // cents against the tone of its name in the first key
    bool successorsKnown = false;
    std::vector<std::pair<int, QString>> successors; // state and the entry that reaches it
    std::optional<QString> stayText;                 // an entry that keeps this key
};

struct Node {
    int state = 0;
    // The key of the last row with tones on the way here: a row without tones may enter a kept
    // key, and the tones held across it were tuned in the key before.
    int held = 0;
    double cost = 0;
    int back = -1; // node of the row before
};

// "ein Komma", "zwei Kommas" for whole syntonic commas, otherwise the cents: "23,5 Cent".
QString CommaWords(double cents) {
    const double commas = cents / CommaCents();
    const long long whole = std::llround(commas);
    if (whole >= 1 && std::abs(cents - static_cast<double>(whole) * CommaCents()) < 0.05) {
        if (whole == 1) {
            return QStringLiteral("ein Komma");
        }
        if (whole == 2) {
            return QStringLiteral("zwei Kommas");
        }
        return QStringLiteral("%1 Kommas").arg(whole);
    }
    return QString::number(cents, 'f', 1).replace(u'.', u',') + QStringLiteral(" Cent");
}

// The search over one segment for one first key.
class SegmentSearch {
public:
    SegmentSearch(const std::vector<Row>& rows, const Segment& segment, const QString& originText,
                  const KeySearchOptions& options, TemperamentList* temperaments)
        : m_rows(rows), m_segment(segment), m_originText(originText), m_options(options),
          m_scale(temperaments) {
        TonartScale start(temperaments);
        if (!segment.scaleCode.isEmpty()) {
            start.SetTonart(segment.scaleCode, 440);
        }
        const auto tonic = start.EnterKey(originText);
        m_originLine = SpellingOf(originText);
        if (tonic && *tonic == 0 && segment.scaleCode.isEmpty()) {
            // A kept first entry without a tone: the piece starts in the scale every pass
            // starts with, the just scale on a1 = 440 Hz.
            m_origin = 440;
            m_originLine = SpellingOf(QStringLiteral("a"));
        } else if (!tonic || *tonic <= 0) {
            return;
        } else {
            m_origin = *tonic;
        }
        m_originScale.SetJust(m_origin);
        m_originState = LatticeState({0, 0});
        m_evals.resize(segment.end - segment.begin);
    }

    bool Valid() const { return m_origin > 0; }

    // The cheapest key column; false when the end cannot be met.
    bool Run(bool returnRule, bool lastSegment) {
        m_layers.assign(m_segment.end - m_segment.begin, {});
        const std::size_t n = m_layers.size();
        if (n == 0 || !Valid()) {
            return false;
        }
        m_layers[0].push_back({m_originState, m_originState, Local(0, m_originState), -1});
        std::vector<int> nodeOf;
        std::unordered_map<long long, int> silentNodeOf;
        for (std::size_t i = 1; i < n; ++i) {
            const Row& row = m_rows[m_segment.begin + i];
            const bool sounds = row.soundingTones > 0 && row.kind != RowKind::Fixed;
            auto& layer = m_layers[i];
            nodeOf.assign(m_states.size(), -1);
            silentNodeOf.clear();
            // After a row with tones a node is its key; after one without, its key and the key
            // its held tones were tuned in.
            auto relax = [&](int state, int held, double cost, int back) {
                int* index = nullptr;
                if (sounds) {
                    held = state;
                    if (static_cast<std::size_t>(state) >= nodeOf.size()) {
                        nodeOf.resize(m_states.size(), -1);
                    }
                    index = &nodeOf[static_cast<std::size_t>(state)];
                } else {
                    index =
                        &silentNodeOf.try_emplace(static_cast<long long>(state) << 32 | held, -1)
                             .first->second;
                }
                if (*index < 0) {
                    *index = static_cast<int>(layer.size());
                    layer.push_back({state, held, cost, back});
                } else if (cost < layer[static_cast<std::size_t>(*index)].cost) {
                    layer[static_cast<std::size_t>(*index)] = {state, held, cost, back};
                }
            };
            const auto& previous = m_layers[i - 1];
            for (std::size_t p = 0; p < previous.size(); ++p) {
                const Node& from = previous[p];
                const int back = static_cast<int>(p);
                switch (row.kind) {
                case RowKind::Fixed:
                    relax(from.state, from.held, from.cost, back);
                    break;
                case RowKind::Kept: {
                    const int to = KeptState(from.state, row.cell);
                    relax(to, from.held, from.cost + Step(i, from.held, to), back);
                    break;
                }
                case RowKind::Free: {
                    const bool mayStay = !row.needsEntry || StayText(from.state).has_value();
                    if (mayStay) {
                        relax(from.state, from.held, from.cost + Step(i, from.held, from.state),
                              back);
                    }
                    if (row.soundingTones == 0 && !row.needsEntry) {
                        break; // a rest or a row without a chord keeps its key
                    }
                    const auto& successors = Successors(from.state);
                    for (const auto& [to, text] : successors) {
                        relax(to, from.held,
                              from.cost + m_options.weights.keyChange + Step(i, from.held, to),
                              back);
                    }
                    break;
                }
                }
            }
        }
        // The end.
        const auto& last = m_layers[n - 1];
        m_best = -1;
        double bestCost = kInfinity;
        for (std::size_t k = 0; k < last.size(); ++k) {
            const Node& node = last[k];
            double cost = node.cost;
            if (lastSegment) {
                if (returnRule) {
                    if (!EndsAtHome(static_cast<int>(k))) {
                        continue;
                    }
                } else {
                    cost += m_options.weights.finalDriftComma *
                            std::abs(m_states[static_cast<std::size_t>(node.state)].drift) /
                            CommaCents();
                }
            }
            if (cost < bestCost) {
                bestCost = cost;
                m_best = static_cast<int>(k);
            }
        }
        m_cost = bestCost;
        return m_best >= 0;
    }

    double Cost() const { return m_cost; }

    // The key cells of the segment's rows and what the result reports about them.
    void Collect(KeySearchResult& result, bool lastSegment, bool returnRule) {
        const std::size_t n = m_layers.size();
        std::vector<int> path(n);
        int node = m_best;
        for (std::size_t i = n; i-- > 0;) {
            const Node& at = m_layers[i][static_cast<std::size_t>(node)];
            path[i] = at.state;
            node = at.back;
        }
        for (std::size_t i = 0; i < n; ++i) {
            const Row& row = m_rows[m_segment.begin + i];
            QString& cell = result.keys[row.tableRow];
            if (row.kind != RowKind::Free) {
                cell = row.cell;
            } else if (i == 0) {
                cell = m_originText;
            } else if (path[i] != path[i - 1]) {
                cell = SuccessorText(path[i - 1], path[i]);
            } else if (row.needsEntry) {
                cell = StayText(path[i]).value_or(QString());
            } else {
                cell.clear();
            }
            if (row.kind == RowKind::Fixed || row.soundingTones == 0) {
                continue;
            }
            const Eval eval = Evaluate(i, path[i]);
            if (row.soundingTones >= 2) {
                ++result.chordRows;
                if (eval.impure == 0) {
                    ++result.pureRows;
                } else {
                    result.impureRows.push_back({row.tableRow, eval.impure, row.chord,
                                                 Reason(i, path, lastSegment && returnRule)});
                }
            }
            if (!row.links.empty()) {
                const Eval& before = Evaluate(Linked(i), path[Linked(i)]);
                for (const Link& link : row.links) {
                    const double moved = eval.cents[static_cast<std::size_t>(link.current)] -
                                         before.cents[static_cast<std::size_t>(link.previous)];
                    if (std::abs(moved) > kMoveTolerance) {
                        const Slot& slot = row.tones[static_cast<std::size_t>(link.current)];
                        result.movedTones.push_back(
                            {row.tableRow, RegisterName(slot.lineOfFifths, slot.key), moved});
                    }
                }
            }
        }
        if (lastSegment) {
            result.hasFinalKey = true;
            result.finalDrift = m_states[static_cast<std::size_t>(path[n - 1])].drift;
        }
    }

private:
    // The state of a lattice point, made when first met.
    int LatticeState(LatticePoint point) {
        const long long id =
            (static_cast<long long>(point.fifths) << 32) ^ static_cast<unsigned>(point.thirds);
        if (const auto found = m_latticeIds.find(id); found != m_latticeIds.end()) {
            return found->second;
        }
        KeyState state;
        state.point = point;
        state.tonic =
            Normalized(m_origin * std::pow(3.0L, point.fifths) * std::pow(5.0L, point.thirds));
        state.lineOfFifths = m_originLine + LineOfFifths(point);
        state.drift = DriftOf(state.tonic, state.lineOfFifths);
        m_states.push_back(std::move(state));
        const int index = static_cast<int>(m_states.size()) - 1;
        m_latticeIds.emplace(id, index);
        return index;
    }

    // A key off the lattice, which a kept entry such as "c:7" leads to.
    int FreeState(long double tonic, int lineOfFifths) {
        tonic = Normalized(tonic);
        const long long id = std::llround(CentsOf(tonic / m_origin) * 10000);
        if (const auto found = m_freeIds.find(id); found != m_freeIds.end()) {
            return found->second;
        }
        KeyState state;
        state.onLattice = false;
        state.tonic = tonic;
        state.lineOfFifths = lineOfFifths;
        state.drift = DriftOf(tonic, lineOfFifths);
        state.successorsKnown = true; // it stays until the next kept entry
        m_states.push_back(std::move(state));
        const int index = static_cast<int>(m_states.size()) - 1;
        m_freeIds.emplace(id, index);
        return index;
    }

    long double Normalized(long double tonic) const {
        while (tonic >= 2 * m_origin) {
            tonic /= 2;
        }
        while (tonic < m_origin) {
            tonic *= 2;
        }
        return tonic;
    }

    // The tonic against the tone of its name in the first key, brought within half an octave.
    double DriftOf(long double tonic, int lineOfFifths) const {
        try {
            int pos = 1;
            const ParsedTone named = ParseTone(GermanLetters(lineOfFifths), pos);
            const long double nominal = m_originScale.SnapToTonart(named.frequency, {});
            return static_cast<double>(CentsWithinHalfOctave(1200 * std::log2(tonic / nominal)));
        } catch (const Error&) {
            return 0;
        }
    }

    // Where an entry leads from a key: the tonic it names, snapped to the key's scale.
    std::optional<long double> Enter(int from, const QString& text) {
        m_scale.SetJust(m_states[static_cast<std::size_t>(from)].tonic);
        try {
            const auto tonic = m_scale.EnterKey(text);
            if (!tonic || *tonic <= 0) {
                return std::nullopt;
            }
            return Normalized(*tonic);
        } catch (const Error&) {
            return std::nullopt;
        }
    }

    bool SameTonic(long double a, long double b) const {
        return std::abs(CentsWithinHalfOctave(1200 * std::log2(a / b))) < kSameTolerance;
    }

    int KeptState(int from, const QString& text) {
        const auto tonic = Enter(from, text);
        if (!tonic) {
            return from; // an entry without a tone keeps the key
        }
        if (const auto point = LatticePointOf(*tonic / m_origin)) {
            const int state = LatticeState(*point);
            if (SameTonic(m_states[static_cast<std::size_t>(state)].tonic, *tonic)) {
                return state;
            }
        }
        return FreeState(*tonic, SpellingOf(text));
    }

    const std::vector<std::pair<int, QString>>& Successors(int from) {
        KeyState* state = &m_states[static_cast<std::size_t>(from)];
        if (state->successorsKnown) {
            return state->successors;
        }
        const LatticePoint point = state->point;
        const int line = state->lineOfFifths;
        std::vector<std::pair<int, QString>> successors;
        for (const LatticePoint degree : kDegrees) {
            const QString name = GermanLetters(line + LineOfFifths(degree));
            for (int commas = -1; commas <= 1; ++commas) {
                const LatticePoint to =
                    point + degree +
                    LatticePoint{commas * kSyntonicComma.fifths, commas * kSyntonicComma.thirds};
                if ((to == point) || std::abs(to.fifths) > kWindowFifths ||
                    std::abs(to.thirds) > kWindowThirds) {
                    continue;
                }
                const QString text = name + QString(std::abs(commas), commas > 0 ? u'+' : u'-');
                const auto tonic = Enter(from, text);
                const int target = LatticeState(to);
                if (tonic && SameTonic(*tonic, m_states[static_cast<std::size_t>(target)].tonic)) {
                    successors.emplace_back(target, text);
                }
            }
        }
        state = &m_states[static_cast<std::size_t>(from)];
        state->successors = std::move(successors);
        state->successorsKnown = true;
        return state->successors;
    }

    QString SuccessorText(int from, int to) {
        for (const auto& [state, text] : Successors(from)) {
            if (state == to) {
                return text;
            }
        }
        return {};
    }

    std::optional<QString> StayText(int state) {
        KeyState& key = m_states[static_cast<std::size_t>(state)];
        if (!key.stayText) {
            const QString text = GermanLetters(key.lineOfFifths);
            const auto tonic = Enter(state, text);
            key.stayText = (tonic && SameTonic(*tonic, key.tonic)) ? text : QString();
        }
        if (key.stayText->isEmpty()) {
            return std::nullopt;
        }
        return key.stayText;
    }

    // The row's tones in the key, in cents from a1 = 440 Hz, and its impure intervals.
    Eval& Evaluate(std::size_t i, int state) {
        auto& cache = m_evals[i];
        if (cache.size() <= static_cast<std::size_t>(state)) {
            // Room for every key of the window at once, so that the cache grows rarely.
            constexpr std::size_t kWindowKeys = (2 * kWindowFifths + 1) * (2 * kWindowThirds + 1);
            cache.resize(std::max(m_states.size(), kWindowKeys + 8));
        }
        Eval& eval = cache[static_cast<std::size_t>(state)];
        if (eval.valid) {
            return eval;
        }
        const Row& row = m_rows[m_segment.begin + i];
        m_scale.SetJust(m_states[static_cast<std::size_t>(state)].tonic);
        long double previous = 0;
        for (int s = 0; s < ChordFrequencies::kSlots; ++s) {
            const Slot& slot = row.tones[static_cast<std::size_t>(s)];
            long double f = 0;
            if (slot.sounds) {
                try {
                    f = SoundingFrequency(slot.tone, previous, false, 1, m_scale);
                } catch (const Error&) {
                    f = 0;
                }
            }
            previous = f;
            // Double precision is plenty for cents (a millionth of a cent) and much faster.
            eval.cents[static_cast<std::size_t>(s)] =
                f > 0 ? 1200 * std::log2(static_cast<double>(f / 440)) : 0;
        }
        eval.impure = 0;
        eval.strays = 0;
        for (int s = 0; s < ChordFrequencies::kSlots; ++s) {
            const Slot& slot = row.tones[static_cast<std::size_t>(s)];
            if (!slot.sounds) {
                continue;
            }
            // Octaves aside: a tone may be raised differently from its written pitch.
            double off = eval.cents[static_cast<std::size_t>(s)] - slot.written;
            off -= 1200 * std::round(off / 1200);
            if (std::abs(off) > kStrayCents) {
                ++eval.strays;
            }
        }
        for (const Interval& interval : row.intervals) {
            const double size = eval.cents[static_cast<std::size_t>(interval.high)] -
                                eval.cents[static_cast<std::size_t>(interval.low)];
            const double reduced = size - 1200 * std::floor(size / 1200);
            if (std::abs(reduced - interval.pure) > kPureTolerance) {
                ++eval.impure;
            }
        }
        eval.valid = true;
        return eval;
    }

    // The row, within the segment, whose tones this row's links hold. Rows between them have
    // neither tone nor a key of their own, so the key there is the key of the row before this.
    std::size_t Linked(std::size_t i) const {
        return m_rows[m_segment.begin + i].linkedRow - m_segment.begin;
    }

    // What a row costs in a key, its held tones coming from the key `from` of the row they
    // sounded in before.
    double Step(std::size_t i, int from, int to) {
        const Row& row = m_rows[m_segment.begin + i];
        if (row.soundingTones == 0) {
            return 0;
        }
        const KeyWeights& w = m_options.weights;
        double cost = Local(i, to);
        if (!row.links.empty()) {
            const Eval& before = Evaluate(Linked(i), from);
            const Eval& here = Evaluate(i, to);
            for (const Link& link : row.links) {
                const double moved =
                    std::abs(here.cents[static_cast<std::size_t>(link.current)] -
                             before.cents[static_cast<std::size_t>(link.previous)]);
                if (moved > kMoveTolerance) {
                    cost += w.movedTone + w.movedToneCent * moved;
                    if (moved > CommaCents() + kSameTolerance) {
                        cost += w.largeMove;
                    }
                }
            }
        }
        return cost;
    }

    double Local(std::size_t i, int state) {
        const Row& row = m_rows[m_segment.begin + i];
        if (row.soundingTones == 0 || row.kind == RowKind::Fixed) {
            return 0;
        }
        const KeyWeights& w = m_options.weights;
        Eval& eval = Evaluate(i, state);
        if (eval.local < 0) {
            eval.local = w.impureInterval * eval.impure + w.strayTone * eval.strays +
                         w.rowAwayComma *
                             std::abs(m_states[static_cast<std::size_t>(state)].drift) /
                             CommaCents();
        }
        return eval.local;
    }

    // The last key's tonic and the last chord's lowest tone lie where the first key has them.
    bool EndsAtHome(int node) {
        std::size_t i = m_layers.size() - 1;
        const Node* at = &m_layers[i][static_cast<std::size_t>(node)];
        if (std::abs(m_states[static_cast<std::size_t>(at->state)].drift) > kSameTolerance) {
            return false;
        }
        while (true) {
            const Row& row = m_rows[m_segment.begin + i];
            if (row.kind != RowKind::Fixed && row.soundingTones > 0) {
                const auto low = static_cast<std::size_t>(row.lowest);
                const double there = Evaluate(i, at->state).cents[low];
                const double home = Evaluate(i, m_originState).cents[low];
                return std::abs(CentsWithinHalfOctave(there - home)) <= kSameTolerance;
            }
            if (i == 0) {
                return true;
            }
            at = &m_layers[i - 1][static_cast<std::size_t>(at->back)];
            --i;
        }
    }

    // Why a row stays impure: a chord no key makes pure, named by its shape, or the held tone,
    // the kept key or the return that a pure key would cost.
    QString Reason(std::size_t i, const std::vector<int>& path, bool returnRule) {
        const Row& row = m_rows[m_segment.begin + i];
        std::array<bool, 12> classes{};
        for (const Slot& slot : row.tones) {
            if (slot.sounds) {
                classes[static_cast<std::size_t>(FloorMod(slot.key, 12))] = true;
            }
        }
        auto has = [&](std::initializer_list<int> steps) {
            for (int root = 0; root < 12; ++root) {
                bool all = true;
                for (const int step : steps) {
                    all = all && classes[static_cast<std::size_t>((root + step) % 12)];
                }
                if (all) {
                    return true;
                }
            }
            return false;
        };
        if (has({0, 3, 6, 9})) {
            return QStringLiteral("verminderter Septakkord: höchstens zwei der drei kleinen Terzen "
                                  "rein");
        }
        if (has({0, 4, 8})) {
            return QStringLiteral("übermäßiger Dreiklang");
        }
        const Eval& chosen = Evaluate(i, path[i]);
        for (const Interval& interval : row.intervals) {
            const double size = chosen.cents[static_cast<std::size_t>(interval.high)] -
                                chosen.cents[static_cast<std::size_t>(interval.low)];
            const double reduced = size - 1200 * std::floor(size / 1200);
            const double augmentedSecond = CentsOf(75.0L / 64);
            if (std::abs(reduced - augmentedSecond) < kPureTolerance ||
                std::abs(reduced - (1200 - augmentedSecond)) < kPureTolerance) {
                return QStringLiteral("übermäßige Sekunde");
            }
        }
        // A key of the window that makes the chord pure, reachable from the key before.
        std::vector<int> pureKeys;
        for (int f = -kWindowFifths; f <= kWindowFifths; ++f) {
            for (int t = -kWindowThirds; t <= kWindowThirds; ++t) {
                const int state = LatticeState({f, t});
                if (Evaluate(i, state).impure == 0) {
                    pureKeys.push_back(state);
                }
            }
        }
        if (pureKeys.empty()) {
            if (has({0, 7, 2, 9})) {
                return QStringLiteral("Quarten übereinander und eine Terz (Kommapumpe)");
            }
            return QStringLiteral("in keiner Tonart sind alle Terzen und Quinten zugleich rein");
        }
        if (row.kind == RowKind::Kept) {
            return QStringLiteral("die behaltene Tonart lässt ihn unrein");
        }
        // What the best of them would have moved.
        double bestMove = kInfinity;
        QString movedTone;
        double movedCents = 0;
        const bool hasNext = i + 1 < m_layers.size();
        for (const int key : pureKeys) {
            if (i > 0 && key != path[i - 1] && !Reaches(path[i - 1], key)) {
                continue;
            }
            double total = 0;
            QString largestTone;
            double largest = 0;
            auto measure = [&](std::size_t at, int before, int here) {
                const Row& linked = m_rows[m_segment.begin + at];
                const Eval& a = Evaluate(Linked(at), before);
                const Eval& b = Evaluate(at, here);
                for (const Link& link : linked.links) {
                    const double moved = b.cents[static_cast<std::size_t>(link.current)] -
                                         a.cents[static_cast<std::size_t>(link.previous)];
                    if (std::abs(moved) > kMoveTolerance) {
                        total += std::abs(moved);
                        if (std::abs(moved) > std::abs(largest)) {
                            largest = moved;
                            const Slot& slot = linked.tones[static_cast<std::size_t>(link.current)];
                            largestTone = RegisterName(slot.lineOfFifths, slot.key);
                        }
                    }
                }
            };
            if (!row.links.empty()) {
                measure(i, path[Linked(i)], key);
            }
            if (hasNext && !m_rows[m_segment.begin + i + 1].links.empty() && Linked(i + 1) == i) {
                measure(i + 1, key, path[i + 1]);
            }
            if (total < bestMove) {
                bestMove = total;
                movedTone = largestTone;
                movedCents = largest;
            }
        }
        if (bestMove == kInfinity) {
            return QStringLiteral("keine Nachbartonart der vorigen Tonart stimmt ihn rein");
        }
        if (!movedTone.isEmpty()) {
            return QStringLiteral("sonst wanderte der gehaltene Ton %1 um %2")
                .arg(movedTone, CommaWords(std::abs(movedCents)));
        }
        if (returnRule) {
            return QStringLiteral("sonst kehrte der Schluss nicht zum Ausgangston zurück");
        }
        return QStringLiteral("sonst wanderte die Tonart vom Ausgangston weg");
    }

    bool Reaches(int from, int to) {
        for (const auto& [state, text] : Successors(from)) {
            if (state == to) {
                return true;
            }
        }
        return false;
    }

    const std::vector<Row>& m_rows;
    const Segment& m_segment;
    QString m_originText;
    const KeySearchOptions& m_options;
    TonartScale m_scale;
    TonartScale m_originScale;
    long double m_origin = 0;
    int m_originLine = 0;
    int m_originState = 0;
    std::vector<KeyState> m_states;
    std::unordered_map<long long, int> m_latticeIds;
    std::unordered_map<long long, int> m_freeIds;
    std::vector<std::vector<Eval>> m_evals; // per row of the segment, by state
    std::vector<std::vector<Node>> m_layers;
    int m_best = -1;
    double m_cost = kInfinity;
};

// The rows as the search sees them, and the segments.
struct Plan {
    std::vector<Row> rows;
    std::vector<Segment> segments;
};

Plan PlanRows(const PieceTable& table, bool keepKeys) {
    Plan plan;
    QString tempered; // the temperament in force, empty for just intonation
    // A temperament's scale stays in force once one of its chords has sounded, through "~" and
    // entries without a tone, until a key with a tone makes the scale just again.
    QString soundedScale;
    bool afterEqual = false;
    std::optional<std::size_t> previousSounding;
    bool previousAdjacent = false;
    for (int r = 1; r < table.RowCount(); ++r) {
        Row row;
        row.tableRow = r;
        row.cell = Trim(table.Cell(PieceTable::kKeyColumn, r));
        row.chord = Trim(table.Cell(PieceTable::kChordColumn, r));
        bool startsSegment = false;
        QString segmentCode;
        if (IsTemperedEntry(row.cell)) {
            tempered = row.cell;
        } else if (!tempered.isEmpty() && !row.cell.isEmpty()) {
            // The entry ends the temperament. An entry with a tone is a key in the scale in force;
            // one without a tone goes back to the key before equal temperament, or keeps a
            // sounded temperament's scale, unless the search may replace it by a key.
            if (keepKeys && !YieldsTone(row.cell) && !soundedScale.isEmpty()) {
                tempered = soundedScale;
            } else {
                if (!soundedScale.isEmpty()) {
                    startsSegment = true;
                    segmentCode = soundedScale;
                    soundedScale.clear();
                } else {
                    afterEqual = true;
                }
                tempered.clear();
            }
        }
        const bool isTempered = !tempered.isEmpty();
        ReadChord(row);
        if (isTempered) {
            row.kind = RowKind::Fixed;
            if (tempered.startsWith(u'm') && row.soundingTones > 0) {
                soundedScale = tempered;
            }
        } else if ((startsSegment && YieldsTone(row.cell)) || (keepKeys && !row.cell.isEmpty())) {
            row.kind = RowKind::Kept;
        } else {
            row.kind = RowKind::Free;
            row.needsEntry = afterEqual;
        }
        if (!isTempered) {
            afterEqual = false;
        }
        const bool blank = IsBlankRow(table, r);
        if (!isTempered && row.soundingTones > 0 && previousSounding && previousAdjacent) {
            LinkTo(plan.rows[*previousSounding], *previousSounding, row);
        }
        if (!blank) {
            previousAdjacent = !isTempered && row.soundingTones > 0;
        }
        // The first just row begins the first segment; the end of a temperament that has
        // sounded begins another.
        if ((startsSegment && !plan.segments.empty()) || (plan.segments.empty() && !isTempered)) {
            if (!plan.segments.empty()) {
                plan.segments.back().end = plan.rows.size();
            }
            Segment segment;
            segment.begin = plan.rows.size();
            segment.scaleCode = segmentCode;
            if (row.kind == RowKind::Kept) {
                segment.originTexts = {row.cell};
            }
            plan.segments.push_back(segment);
        }
        plan.rows.push_back(std::move(row));
        if (!blank) {
            previousSounding =
                previousAdjacent ? std::optional(plan.rows.size() - 1) : std::nullopt;
        }
    }
    if (!plan.segments.empty()) {
        plan.segments.back().end = plan.rows.size();
    }
    return plan;
}

// The tonic of the final bass: the letters of the lowest tone of the last row that sounds in
// just intonation.
std::optional<QString> FinalBassName(const std::vector<Row>& rows) {
    for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
        if (row->kind != RowKind::Fixed && row->soundingTones > 0) {
            return GermanLetters(row->tones[static_cast<std::size_t>(row->lowest)].lineOfFifths);
        }
    }
    return std::nullopt;
}

// The first-key candidates of the first segment: the key signature's tonic (the first entry the
// table has) and the final bass note's.
QStringList FirstKeyCandidates(const Plan& plan, const Segment& segment) {
    if (!segment.originTexts.isEmpty()) {
        return segment.originTexts;
    }
    QStringList candidates;
    for (std::size_t i = segment.begin; i < segment.end; ++i) {
        const Row& row = plan.rows[i];
        if (row.kind != RowKind::Fixed && YieldsTone(row.cell)) {
            candidates << row.cell;
            break;
        }
    }
    if (const auto bass = FinalBassName(plan.rows); bass && !candidates.contains(*bass)) {
        candidates << *bass;
    }
    return candidates;
}

} // namespace

KeySearchResult FindKeys(const PieceTable& table, const KeySearchOptions& options,
                         TemperamentList* temperaments) {
    KeySearchResult result;
    result.keys.resize(std::max(table.RowCount(), 1));
    Plan plan = PlanRows(table, options.keepKeys);
    // Rows outside every segment (a temperament from the first row on) keep their cells.
    for (const Row& row : plan.rows) {
        if (row.kind == RowKind::Fixed || row.kind == RowKind::Kept) {
            result.keys[row.tableRow] = row.cell;
        }
    }
    for (std::size_t s = 0; s < plan.segments.size(); ++s) {
        Segment& segment = plan.segments[s];
        const bool last = s + 1 == plan.segments.size();
        std::optional<SegmentSearch> best;
        bool bestReturns = false;
        for (const QString& origin : FirstKeyCandidates(plan, segment)) {
            SegmentSearch search(plan.rows, segment, origin, options, temperaments);
            if (!search.Valid()) {
                continue;
            }
            bool returns = options.returnToStart;
            if (!search.Run(returns, last)) {
                returns = false;
                if (!search.Run(false, last)) {
                    continue;
                }
            }
            // A first key that lets the piece return beats one that does not.
            if (!best || (returns && !bestReturns) ||
                (returns == bestReturns && search.Cost() < best->Cost())) {
                best.emplace(std::move(search));
                bestReturns = returns;
            }
        }
        if (!best) {
            continue; // nothing sounds and nothing names a key: the cells stay blank
        }
        if (last && options.returnToStart && !bestReturns) {
            result.returnImpossible = true;
        }
        best->Collect(result, last, bestReturns);
        result.cost += best->Cost();
    }
    return result;
}

void WriteKeys(const KeySearchResult& result, PieceTable& table) {
    for (int r = 1; r < table.RowCount() && r < result.keys.size(); ++r) {
        if (table.Cell(PieceTable::kKeyColumn, r) != result.keys[r]) {
            table.SetCell(PieceTable::kKeyColumn, r, result.keys[r]);
        }
    }
}

bool HasKeyEntries(const PieceTable& table) {
    for (int r = 1; r < table.RowCount(); ++r) {
        if (!IsBlank(table.Cell(PieceTable::kKeyColumn, r))) {
            return true;
        }
    }
    return false;
}

QStringList KeyReport(const KeySearchResult& result) {
    QStringList lines;
    lines << QStringLiteral("Reine Zeilen: %1 von %2").arg(result.pureRows).arg(result.chordRows);
    for (const ImpureRow& row : result.impureRows) {
        const QString count =
            row.impureIntervals == 1
                ? QStringLiteral("1 unreines Intervall")
                : QStringLiteral("%1 unreine Intervalle").arg(row.impureIntervals);
        lines << QStringLiteral("Zeile %1 (%2): %3 – %4")
                     .arg(row.row)
                     .arg(row.chord, count, row.reason);
    }
    for (const MovedTone& tone : result.movedTones) {
        lines << QStringLiteral("Zeile %1: der gehaltene Ton %2 wandert um %3 %4")
                     .arg(tone.row)
                     .arg(tone.tone, CommaWords(std::abs(tone.cents)),
                          tone.cents > 0 ? QStringLiteral("hinauf") : QStringLiteral("hinab"));
    }
    if (result.returnImpossible) {
        lines << QStringLiteral("Die behaltenen Tonarten lassen das Stück nicht zum Ausgangston "
                                "zurückkehren; der Schluss darf wandern.");
    }
    if (result.hasFinalKey) {
        if (std::abs(result.finalDrift) < kSameTolerance) {
            lines << QStringLiteral("Schluss: auf dem Ausgangston, ohne Kommaverschiebung");
        } else {
            lines << QStringLiteral("Schluss: %1 %2 als der Ausgangston")
                         .arg(CommaWords(std::abs(result.finalDrift)),
                              result.finalDrift > 0 ? QStringLiteral("höher")
                                                    : QStringLiteral("tiefer"));
        }
    }
    return lines;
}

} // namespace zk
