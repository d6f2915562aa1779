#include "app/cli/cli.h"
#include "common/piece_rows.h"

#include "common/locale_guard.h"
#include "common/qt_printers.h"
#include "piece/piece_text.h"
#include "sound/synthesis.h"
#include "sound/wav_format.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

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

Rendered Render(QStringList options, const QString& piece = kPiece) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("out.wav"));
    Rendered result;
    result.io.readStdin = [piece] { return piece.toUtf8(); };
    result.status = zk::cli::Run(QStringList{QStringLiteral("render")} + options +
                                     QStringList{QStringLiteral("-o"), out, QStringLiteral("-")},
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
        {{QStringLiteral("-o"), QStringLiteral("x.wav")}, kExitUsage, "Die Stückdatei fehlt."},
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
