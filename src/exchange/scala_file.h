// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/errors.h"

#include <QList>
#include <QString>

#include <array>
#include <optional>

// Scala tuning files, the common language of microtonal synthesisers and tuning programs: the
// scale file ".scl" (a description, the number of notes and one pitch a line above degree 0,
// in cents "701.955" or as a ratio "3/2"; the last pitch is the period) and the keyboard mapping
// ".kbm" (which MIDI key plays which scale degree, and the frequency of one reference key).
//
// A 12-note octave scale becomes a row of the temperament list: the deviations in cents from
// equal temperament on a1 = 440 Hz of a, b, h, c, des, d, es, e, f, fis, g, as, with degree 0 on
// c (or on the key the mapping names) and a keeping 440 Hz unless the mapping gives another
// reference. The other way, a row of the list, or the twelve pitches in force at a row of a
// computed piece, become a .scl and a .kbm that map the scale onto the MIDI keys at the right
// frequencies.
//
// The reading is in scala_file.cpp, the scale as a row in scala_import.cpp, the rows of the list
// in scala_rows.cpp, the writing in scala_export.cpp; scala_detail.h holds what they share.

namespace zk {

class PieceTable;
class TemperamentList;

// A file that does not follow the format, or a scale that cannot become a row. The message is
// German and names the line where there is one.
class ScalaError : public Error {
public:
    using Error::Error;
};

// Larger files are refused before they are read: the largest scales of the published archives
// are far below this.
inline constexpr qint64 kMaxScalaFileBytes = 1 << 20;
// Number of notes of a scale, entries of a keyboard mapping.
inline constexpr int kMaxScalaNotes = 65536;

// One pitch line of a scale: its size above degree 0 in cents and, when it was written as a
// ratio, the ratio's terms as their digits without leading zeros: terms of any length are read
// ("156348578434374084375/147573952589676412928"), the cents to the precision of a long double.
struct ScalaPitch {
    long double cents = 0;
    QString numerator;   // empty when written in cents
    QString denominator; // "1" for a ratio written as a whole number
    int line = 0; // the line of the text it was read from; 0 for a pitch not read from a text
    bool operator==(const ScalaPitch&) const = default;
};

struct ScalaScale {
    QString description;
    QList<ScalaPitch> pitches; // degrees 1 .. N; the last one is the period
    bool operator==(const ScalaScale&) const = default;
};

// A keyboard mapping. Keys are MIDI note numbers 0 .. 127.
struct KeyboardMapping {
    int size = 0; // keys of one repetition of the pattern; 0: every key the next degree
    int firstKey = 0;
    int lastKey = 127;
    int middleKey = 60;    // the key of the pattern's first entry (degree 0 for a linear map)
    int referenceKey = 69; // the key whose frequency is given
    long double referenceFrequency = 440; // Hz
    int octaveDegree = 0;              // the degree one repetition moves by; 0: the scale's period
    QList<std::optional<int>> entries; // degrees for the keys from the middle key on; none: "x"
    bool operator==(const KeyboardMapping&) const = default;
};

// Reads a scale by the format's rules. Lines whose first character other than a blank is "!"
// are comments, anywhere. The first other line is the description (it may be empty), the next
// the number of notes, then one pitch a line: a value with a "." is cents (a sign allowed), "p/q"
// and "p" are ratios (positive, terms of any length); text after the first blank-separated field
// is ignored. Blank lines after the description are skipped. Throws ScalaError naming the line
// for a missing or wrong count, a missing pitch, more pitches than the count, a zero or negative
// ratio, anything that is not a number, a control character (a binary file) and a text over the
// size limit. A message quotes at most 40 characters of a field, a longer one cut with "…".
ScalaScale ReadScl(const QString& text);

// Reads a keyboard mapping: seven values (size, first key, last key, middle key, reference key,
// reference frequency, octave degree) and up to `size` entries, a degree or "x"; entries left
// out at the end are unmapped keys. Comments and blank lines as in ReadScl. Throws ScalaError.
KeyboardMapping ReadKbm(const QString& text);

// The text of a Scala file by the program's text rule (UTF-8 or Windows-1252). Throws ScalaError
// for a file that is larger than the limit and FileError for one that cannot be read.
QString ReadScalaFile(const QString& path);

// The twelve deviations of a temperament row in the list's order: a, b, h, c, des, d, es, e, f,
// fis, g, as, in cents from equal temperament on a1 = 440 Hz.
using TemperamentValues = std::array<long double, 12>;

// The deviations of a 12-note octave scale laid onto the keys by `mapping` (without one: degree
// 0 on c, a1 = 440 Hz). Throws ScalaError for a scale of another size or period, for a mapping
// that leaves a key of the octave unmapped or does not repeat every twelve keys by an octave, and
// for tones that do not rise from c to h below the next c (a row's tones must keep their order:
// the pass finds a tone's nearest degree by walking up the scale). That refusal names the tone
// farther from its equal-tempered place, with the line and value of the degree it plays.
TemperamentValues TemperamentFromScale(const ScalaScale& scale,
                                       const std::optional<KeyboardMapping>& mapping);

// Whether a scale can be a row at all, with any mapping: twelve tones repeating at the octave.
// Throws ScalaError otherwise.
void CheckTwelveToneOctave(const ScalaScale& scale);

// Checks a row's code ("m" and one more visible character) and its name (the list's own rule: no
// digit and no sign, which would start the values; no line break). Throw ScalaError.
void CheckTemperamentCode(const QString& code);
void CheckTemperamentName(const QString& name);

// A name for an imported row when the user gives none: the scale's description without the
// digits and signs the list does not allow in a name; "Scala" when nothing is left.
QString TemperamentNameFromDescription(const QString& description);

// A row line in the list's own layout: the code, the name in its column, the values right-aligned
// in columns of nine with at most three decimals and `decimalSeparator`.
QString TemperamentRowLine(const QString& code, const QString& name,
                           const TemperamentValues& values, QChar decimalSeparator);

// The decimal separator the list's rows are mostly written with (the default list: ",").
QChar TemperamentListSeparator(const TemperamentList& list);

// A scale text (and a mapping text, optional) as a row line for `list` with `code` and `name`.
// The row is refused when a tone would not keep its own degree in play (the nearest degree of
// a tone is searched over the twelve tempered pitches, so a deviation of about 50 cents or more
// would make the tone sound as its neighbour). Of a tone and the neighbour whose degree it would
// take, the message names the one farther from its equal-tempered place, which is the one out of
// place, first the farthest. Throws ScalaError.
QString ImportSclAsRow(const QString& sclText, const std::optional<QString>& kbmText,
                       const QString& code, const QString& name, const TemperamentList& list);

// The first line of the list that begins with `code`, if any.
std::optional<QString> TemperamentRowOf(const TemperamentList& list, const QString& code);

// Puts `rowLine` (which begins with `code`) into the list: in place of the row of that code when
// `replace` is set, otherwise after the list's last row, before the comments that end it. Throws
// ScalaError when the code is taken and `replace` is not set; the list is then unchanged.
void InsertTemperamentRow(TemperamentList& list, const QString& code, const QString& rowLine,
                          bool replace);

// A scale and its keyboard mapping as texts (lines ended by CR LF), ready to be written.
struct ScalaFiles {
    QString scl;
    QString kbm;
    QString description; // the scale's description line
};

// The row `code` of the list: degree 0 on c, mapped onto the keys from c (key 60) with the row's
// a1 as reference (key 69), at the concert pitch `kammertonText` (a1 in Hz, read as the pass reads
// its field). A degree within the row's precision (a thousandth of a cent: its values keep three
// decimals) of a 5-limit ratio of terms up to five digits is written as that ratio, the others in
// cents. Throws ScalaError when the list has no such row or a value is missing.
ScalaFiles ExportRowAsScl(const TemperamentList& list, const QString& code,
                          const QString& kammertonText = QStringLiteral("440"));

// The twelve pitches in force at `row` of `table` once rows 1 .. row are computed: a just key
// gives its scale on its tonic (degree 0 and reference on the tonic's key, with the frequency the
// pass reached, comma drift included; its ratios written as ratios); a tempered key its
// temperament (ratios recognised as for a row) and "~" equal temperament (degree 0 on c,
// reference a1). `kammertonText` is the concert pitch field (a1 in Hz) as the
// pass reads it; `pieceName` goes into the description. Throws ScalaError for a row the table
// does not have.
ScalaFiles ExportPieceRowAsScl(const PieceTable& table, int row, const TemperamentList& list,
                               const QString& kammertonText, const QString& pieceName);

// The mapping's file name beside a scale file: "name.scl" → "name.kbm", otherwise ".kbm" added.
QString KbmPathFor(const QString& sclPath);

// Writes the two files in UTF-8: neither is replaced unless both could be written completely.
// Throws FileError with a German message.
void WriteScalaFiles(const QString& sclPath, const ScalaFiles& files);

} // namespace zk
