// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The checks a fuzzer drives: one per reader of the program, each taking any bytes. A check
// feeds the bytes to its reader as a user's file or typed text would reach it, accepts the
// reader's documented refusals (its German errors) and then tests what must hold for whatever it
// read: round trips that give the same table or row, files that are well formed, rows as long as
// the score. A broken property throws PropertyViolation; any other exception that leaves a check
// is a finding as well. The same checks replay the kept corpus in the ordinary test suite.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace zk::fuzz {

class PropertyViolation : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

// Throws PropertyViolation with `what` unless `holds`.
void Require(bool holds, const std::string& what);

using Check = void (*)(const QByteArray& input);

struct FuzzTarget {
    const char* name; // the corpus folder, the dictionary and the program zk_fuzz_<name>
    Check check;
    // The longest input worth trying: the longest a user types or a file of its kind holds,
    // and never more than the 200 000 bytes the time limit is measured at.
    std::size_t maxLength;
};

// Every target, in the order the fuzz script runs them.
const std::vector<FuzzTarget>& FuzzTargets();
const FuzzTarget* FindFuzzTarget(std::string_view name);

// What the checks need once per process: the program folder ($ZIRKELON_HOME) in a fresh
// temporary folder, so that nothing a check does touches the user's files, and an application
// object on the offscreen platform for the pictures. The test suite's own main does both itself.
void PrepareFuzzing(int* argc, char*** argv);

// The input as the program reads a file's text: UTF-8, else Windows-1252.
QString InputText(const QByteArray& input);
// The input as the text of a piece file; nothing for a score (the MusicXML target reads those)
// and for bytes that are no text, which opening refuses.
std::optional<QString> PieceText(const QByteArray& input);
// The input cut at its first line breaks into `count` parts, the last part the rest (missing
// parts are empty): a key and a chord, a scale and its operations.
QStringList InputParts(const QByteArray& input, int count);

// The checks.
void CheckMusicXml(const QByteArray& input);
void CheckPieceText(const QByteArray& input);
void CheckScalaScale(const QByteArray& input);
void CheckKeyboardMapping(const QByteArray& input);
void CheckWav(const QByteArray& input);
void CheckTemperamentList(const QByteArray& input);
void CheckTimbreLine(const QByteArray& input);
void CheckChord(const QByteArray& input);
void CheckNumbers(const QByteArray& input);
void CheckModulation(const QByteArray& input);
void CheckTextCodec(const QByteArray& input);
void CheckCommandLine(const QByteArray& input);
void CheckDrift(const QByteArray& input);
void CheckMidi(const QByteArray& input);

} // namespace zk::fuzz
