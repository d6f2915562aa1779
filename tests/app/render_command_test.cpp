// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/cli.h"
#include "app/example_library.h"
#include "common/piece_rows.h"

#include "common/locale_guard.h"
#include "common/qt_printers.h"
#include "engine/key_scale.h"
#include "engine/temperaments.h"
#include "piece/compute_pass.h"
#include "piece/piece_table.h"
#include "piece/piece_text.h"
#include "piece/recording_pass_host.h"
#include "sound/audio_output.h"
#include "sound/sound_player.h"
#include "sound/synthesis.h"
#include "sound/wav_format.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace zk::cli {
namespace {

using test::Row;

// Two rows at tempo 80 (a 32nd note lasts 23 hundredths): "ceg" for a quarter, then "c1" for an
// eighth.
const QString kPiece = Row("c", "8", "ceg") + Row("", "4", "c1");
constexpr std::int64_t kFrames = (184 * 441 - 1) + (92 * 441 - 1);

struct Rendered {
    int status = -1;
    Io io;
    QByteArray wav;
};

// Renders the piece from standard input, or from `source` when it is given.
Rendered Render(QStringList options, const QString& piece = kPiece,
                const QStringList& source = {QStringLiteral("-")}) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("out.wav"));
    Rendered result;
    result.io.readStdin = [piece] { return piece.toUtf8(); };
    result.status = zk::cli::Run(QStringList{QStringLiteral("render")} + options +
                                     QStringList{QStringLiteral("-o"), out} + source,
                                 result.io);
    QFile file(out);
    if (file.open(QIODevice::ReadOnly)) {
        result.wav = file.readAll();
    }
    return result;
}

// The first chord's frames as they must sound in the given timbre.
void ExpectFirstChord(const QByteArray& wav, const SampleTimbre& timbre) {
    const ChordFrequencies ceg{{132, 165, 198}};
    int differing = 0;
    for (std::int64_t n = 0; n < 2000; ++n) {
        const auto sample = qFromLittleEndian<std::int16_t>(wav.constData() + 44 + 4 * n);
        differing += sample != ChordSample(n, ceg, timbre);
    }
    EXPECT_LE(differing, 2); // only where a partial lies right at a rounding boundary
}

TEST(RenderCommand, WritesThePieceInTheOrganSpectrumByDefault) {
    const Rendered r = Render({});
    ASSERT_EQ(r.status, kExitOk) << r.io.err.toStdString();
    ASSERT_EQ(r.wav.size(), 44 + 4 * kFrames);
    EXPECT_EQ(r.wav.left(44), WavHeader(kFrames));
    ExpectFirstChord(r.wav, {TimbreMode::Obertoene, {11228, 8421, 5614, 3368, 1684, 1122, 561}});
    EXPECT_TRUE(r.io.out.contains(QStringLiteral("2 Akkorde"))) << r.io.out.toStdString();
}

// Five rows: a chord, the same chord again (its top tone is re-struck after a short rest), two
// rests (the second is also kept apart from the first by a short rest) and the chord once more.
const QString kFiveRows = Row("c", "8", "ceg") + Row("", "8", "ceg") + Row("", "4", "") +
                          Row("", "4", "") + Row("", "8", "ceg");

TEST(RenderCommand, CountsChordsAndRestsAsRows) {
    test::LocaleGuard german(test::German());
    const std::pair<QString, const char*> cases[] = {
        {kFiveRows,
         ": 3 Akkorde, 2 Pausen, 7,38 Sekunden\n"}, // 738 hundredths with both short rests
        {kPiece, ": 2 Akkorde, 2,76 Sekunden\n"},   // no rest: none mentioned
        {Row("c", "8", "ceg"), ": 1 Akkord, 1,84 Sekunden\n"},
        {Row("c", "8", "") + Row("", "8", "ceg"), ": 1 Akkord, 1 Pause, 3,68 Sekunden\n"},
        {Row("c", "", "") + Row("", "", "") + QStringLiteral("\r\n"), ": 0 Akkorde, 0 Sekunden\n"},
    };
    for (const auto& [piece, counts] : cases) {
        const Rendered r = Render({}, piece);
        ASSERT_EQ(r.status, kExitOk) << r.io.err.toStdString();
        EXPECT_TRUE(r.io.out.endsWith(QString::fromUtf8(counts))) << r.io.out.toStdString();
    }
}

// Plays every row of the table through the player, as a pass does that plays into the silent
// output: each chord is synthesised for the output and recorded in the last piece.
void PlayThrough(PieceTable& table, SoundPlayer& player) {
    TemperamentList temperaments;
    TonartScale scale(&temperaments);
    PassSettings settings{false, 1};
    test::RecordingPassHost pass;
    ComputePass(0, table, scale, settings, pass);
    for (const auto& played : pass.played) {
        player.PlayChord(played.dauer, played.frequencies);
    }
}

// The WAV file as the player writes it after such a pass.
QByteArray ThroughThePlayer(PieceTable& table, const std::function<void(Timbre&)>& setTimbre) {
    SilentAudioOutput silence;
    SoundPlayer player(silence);
    player.SetCacheEnabled(false);
    setTimbre(player.timbre());
    player.timbre().Eoberton1Exit();
    PlayThrough(table, player);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("player.wav"));
    player.WriteLastPieceWav(path);
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray ThroughThePlayer(const QString& piece, const std::function<void(Timbre&)>& setTimbre) {
    PieceTable table;
    LoadPieceText(table, piece);
    return ThroughThePlayer(table, setTimbre);
}

TEST(RenderCommand, TheFileIsByteForByteThePlayersFile) {
    const struct {
        const char* what;
        QStringList options;
        std::function<void(Timbre&)> timbre;
    } cases[] = {
        {"organ", {}, [](Timbre&) {}},
        {"sawtooth",
         {QStringLiteral("--sawtooth")},
         [](Timbre& t) {
             t.CBRechteckClick();
             t.CBRechteckClick();
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Rendered r = Render(c.options, kFiveRows);
        ASSERT_EQ(r.status, kExitOk) << r.io.err.toStdString();
        ASSERT_EQ(r.wav.size(), 44 + 4 * ((3 * 184 + 2 * 92 + 2) * 441 - 7));
        EXPECT_TRUE(r.wav == ThroughThePlayer(kFiveRows, c.timbre));
    }
}

TEST(RenderCommand, ExampleIsRenderedInFull) {
    test::LocaleGuard german(test::German());
    // The comma trap: six cycles of five chords, each with its pause, and the starting chord.
    const Rendered r = Render({}, {}, {QStringLiteral("--example"), QStringLiteral("Kommafalle")});
    ASSERT_EQ(r.status, kExitOk) << r.io.err.toStdString();
    EXPECT_TRUE(r.io.out.endsWith(QStringLiteral(": 31 Akkorde, 6 Pausen, 34,1 Sekunden\n")))
        << r.io.out.toStdString();
    // The whole table as the menu leaves it, every comma of the later cycles included.
    PieceTable table;
    BuildExampleTable(*FindExample(QStringLiteral("Kommafalle")), table);
    EXPECT_TRUE(r.wav == ThroughThePlayer(table, [](Timbre&) {}));
    // Its piece file cuts the long chords, and so sounds different.
    Io io;
    ASSERT_EQ(zk::cli::Run({QStringLiteral("example"), QStringLiteral("Kommafalle")}, io), kExitOk);
    const Rendered cut = Render({}, io.out);
    ASSERT_EQ(cut.status, kExitOk);
    EXPECT_FALSE(cut.wav == r.wav);
}

TEST(RenderCommand, TimbreOptionsAndThePiecesOwnTimbre) {
    const SampleTimbre sine{TimbreMode::Sinus, {}};
    const struct {
        const char* what;
        QStringList options;
        QString piece;
        SampleTimbre timbre;
    } cases[] = {
        {"--sine", {QStringLiteral("--sine")}, kPiece, sine},
        {"--timbre of zeros sounds as the sine",
         {QStringLiteral("--timbre"), QStringLiteral("0 0 0 0 0 0")},
         kPiece,
         sine},
        {"--square", {QStringLiteral("--square")}, kPiece, {TimbreMode::Rechteck, {}}},
        {"--sawtooth", {QStringLiteral("--sawtooth")}, kPiece, {TimbreMode::Saegezahn, {}}},
        {"the piece's Klangfarbe line",
         {},
         TimbreLine({"100", "0", "0", "0", "0", "0"}) + QStringLiteral("\r\n") + kPiece,
         {TimbreMode::Obertoene, {16000, 16000, 0, 0, 0, 0, 0}}},
        {"an option wins over the piece's line",
         {QStringLiteral("--sine")},
         TimbreLine({"100", "0", "0", "0", "0", "0"}) + QStringLiteral("\r\n") + kPiece,
         sine},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Rendered r = Render(c.options, c.piece);
        ASSERT_EQ(r.status, kExitOk) << r.io.err.toStdString();
        ASSERT_EQ(r.wav.size(), 44 + 4 * kFrames);
        ExpectFirstChord(r.wav, c.timbre);
    }
}

TEST(RenderCommand, TempoAndPitchChangeLengthAndFrequencies) {
    // Tempo 160: a 32nd lasts 12 hundredths (1875 / 160 = 11.7), so 96 + 48.
    const Rendered fast = Render({QStringLiteral("--tempo"), QStringLiteral("160")});
    ASSERT_EQ(fast.status, kExitOk);
    EXPECT_EQ(fast.wav.size(), 44 + 4 * ((96 * 441 - 1) + (48 * 441 - 1)));
    // Concert pitch 220: an octave lower, so the first chord is 66, 82.5, 99 Hz.
    const Rendered low = Render({QStringLiteral("--pitch"), QStringLiteral("220")});
    ASSERT_EQ(low.status, kExitOk);
    const SampleTimbre organ{TimbreMode::Obertoene, {11228, 8421, 5614, 3368, 1684, 1122, 561}};
    EXPECT_EQ(qFromLittleEndian<std::int16_t>(low.wav.constData() + 44 + 4 * 100),
              ChordSample(100, ChordFrequencies{{66, 82.5, 99}}, organ));
}

TEST(RenderCommand, WrongUsageAndBadInputAreRefused) {
    const struct {
        QStringList args; // after "render"
        int status;
        const char* message;
    } cases[] = {
        {{QStringLiteral("-")}, kExitUsage, "Die Ausgabedatei (-o) fehlt."},
        {{QStringLiteral("-o"), QStringLiteral("x.wav")},
         kExitUsage,
         "Die Stückdatei fehlt (DATEI oder --example NAME)."},
        {{QStringLiteral("--sine"), QStringLiteral("--square"), QStringLiteral("-o"),
          QStringLiteral("x.wav"), QStringLiteral("-")},
         kExitUsage,
         "Nur eine Klangfarbe ist möglich"},
        {{QStringLiteral("--timbre"), QStringLiteral("75 50"), QStringLiteral("-o"),
          QStringLiteral("x.wav"), QStringLiteral("-")},
         kExitUsage,
         "--timbre erwartet sechs Prozentzahlen"},
        {{QStringLiteral("--loop"), QStringLiteral("-o"), QStringLiteral("x.wav"),
          QStringLiteral("-")},
         kExitUsage,
         "Unbekannte Option \"--loop\""},
        {{QStringLiteral("-o"), QStringLiteral("x.wav"), QStringLiteral("/no/such/piece.txt")},
         kExitUserError,
         "kann nicht gelesen werden"},
        {{QStringLiteral("-o"), QStringLiteral("/no/such/folder/x.wav"), QStringLiteral("-")},
         kExitUserError,
         "konnte nicht geschrieben werden"},
        {{QStringLiteral("-o"), QStringLiteral("x.wav"), QStringLiteral("--example"),
          QStringLiteral("Kommafalle"), QStringLiteral("-")},
         kExitUsage,
         "DATEI und --example schließen einander aus"},
        {{QStringLiteral("-o"), QStringLiteral("x.wav"), QStringLiteral("--example"),
          QStringLiteral("Kadenz")},
         kExitUserError,
         "Unbekanntes Beispiel \"Kadenz\""},
        {{QStringLiteral("-o"), QStringLiteral("x.wav"), QStringLiteral("--"),
          QStringLiteral("--sine")},
         kExitUserError,
         "Die Datei \"--sine\" kann nicht gelesen werden."},
    };
    for (const auto& c : cases) {
        Io io;
        io.readStdin = [] { return kPiece.toUtf8(); };
        EXPECT_EQ(zk::cli::Run(QStringList{QStringLiteral("render")} + c.args, io), c.status)
            << c.message;
        EXPECT_TRUE(io.err.contains(QString::fromUtf8(c.message))) << io.err.toStdString();
    }
}

TEST(RenderCommand, ATempoOfZeroEndsWithTheErrorAndNoFile) {
    const Rendered r = Render({QStringLiteral("--tempo"), QStringLiteral("0")});
    EXPECT_EQ(r.status, kExitUserError);
    EXPECT_FALSE(r.io.err.isEmpty());
    EXPECT_TRUE(r.wav.isEmpty());
}

TEST(RenderCommand, ARowLongerThanAnHourIsRefusedWithAGermanMessage) {
    // 20000 32nds at tempo 80 last 460000 hundredths: more than an hour.
    const Rendered r = Render({}, Row("c", "20000", "c"));
    EXPECT_EQ(r.status, kExitUserError);
    EXPECT_TRUE(r.io.err.contains(QStringLiteral("höchstens eine Stunde")))
        << r.io.err.toStdString();
    EXPECT_TRUE(r.wav.isEmpty());
}

} // namespace
} // namespace zk::cli
