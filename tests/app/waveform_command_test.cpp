// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/cli.h"
#include "common/piece_rows.h"

#include "common/locale_guard.h"
#include "notation/pixel_probe.h"
#include "notation/waveform_picture.h"
#include "sound/synthesis.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace zk::cli {
namespace {

using test::Row;

// a1 = 440 Hz for a quarter note at tempo 80: 184 hundredths, 81143 frames.
const QString kA440 = Row("a", "8", "a1");

// The rows column x covers at 1:1000 for a1 in the organ spectrum: frames 1000x .. 1000x + 999
// of the piece, each at 150 + w × 50 div 10000.
std::pair<int, int> OrganSpan(int x) {
    const SampleTimbre organ{TimbreMode::Obertoene, {11228, 8421, 5614, 3368, 1684, 1122, 561}};
    int low = 32767;
    int high = -32768;
    for (std::int64_t k = 1000LL * x; k < 1000LL * (x + 1); ++k) {
        const int w = ChordSample(k - 1, ChordFrequencies{{440}}, organ);
        low = std::min(low, w);
        high = std::max(high, w);
    }
    return {150 + low * 50 / 10000, 150 + high * 50 / 10000};
}

class WaveformCommandTest : public ::testing::Test {
protected:
    int Draw(const QStringList& args, const QString& piece = kA440) {
        Io io;
        io.readStdin = [piece] { return piece.toUtf8(); };
        const int status = zk::cli::Run(QStringList{u"waveform"_qs} + args, io);
        out = io.out;
        err = io.err;
        return status;
    }

    // The black rows of column x above the caption: {top, bottom}, or {-1, -1} when none.
    static std::pair<int, int> Span(const QImage& image, int x) {
        int top = -1;
        int bottom = -1;
        for (int y = 1; y < 360; ++y) {
            if (test::Black(image, x, y)) {
                top = top < 0 ? y : top;
                bottom = y;
            }
        }
        return {top, bottom};
    }

    test::LocaleGuard locale{test::German()};
    QTemporaryDir dir;
    const QString png = dir.filePath(u"welle.png"_qs);
    QString out;
    QString err;
};

TEST_F(WaveformCommandTest, WrongUsageWritesNothing) {
    const struct {
        QStringList args;
        int status;
        const char* message;
    } cases[] = {
        {{u"-o"_qs, u"PNG"_qs, u"-"_qs}, kExitUsage, "Der Maßstab (--scale"},
        {{u"--scale"_qs, u"2"_qs, u"-o"_qs, u"PNG"_qs, u"-"_qs},
         kExitUsage,
         "Unbekannter Maßstab \"2\""},
        {{u"--scale"_qs, u"10"_qs, u"-"_qs}, kExitUsage, "Die Ausgabedatei (-o) fehlt."},
        {{u"--scale"_qs, u"10"_qs, u"-o"_qs, u"PNG"_qs},
         kExitUsage,
         "Die Stückdatei fehlt (DATEI oder --example NAME)."},
        {{u"--scale"_qs, u"10"_qs, u"--loop"_qs, u"-o"_qs, u"PNG"_qs, u"-"_qs},
         kExitUsage,
         "Unbekannte Option \"--loop\""},
        {{u"--scale"_qs, u"10"_qs, u"-o"_qs, u"PNG"_qs, u"/no/such/piece.txt"_qs},
         kExitUserError,
         "kann nicht gelesen werden"},
        {{u"--scale"_qs, u"10"_qs, u"-o"_qs, u"PNG"_qs, u"--example"_qs, u"Laudate"_qs, u"-"_qs},
         kExitUsage,
         "DATEI und --example schließen einander aus"},
        {{u"--scale"_qs, u"10"_qs, u"-o"_qs, u"PNG"_qs, u"--example"_qs, u"Tanz"_qs},
         kExitUserError,
         "Unbekanntes Beispiel \"Tanz\""},
    };
    for (const auto& c : cases) {
        QStringList args = c.args;
        args.replaceInStrings(u"PNG"_qs, png);
        EXPECT_EQ(Draw(args), c.status) << c.message;
        EXPECT_TRUE(err.contains(QString::fromUtf8(c.message))) << err.toStdString();
        EXPECT_FALSE(QFile::exists(png)) << c.message;
    }
    // Usage errors show how the command is called.
    Draw({u"-o"_qs, png, u"-"_qs});
    EXPECT_TRUE(err.contains(u"Aufruf: zirkelon waveform --scale N"_qs));
}

TEST_F(WaveformCommandTest, SineAtOneToOne) {
    ASSERT_EQ(Draw({u"--scale"_qs, u"1"_qs, u"--sine"_qs, u"-o"_qs, png, u"-"_qs}), kExitOk)
        << err.toStdString();
    EXPECT_EQ(out, png + u": Schwingungsbild 1:1, die ersten 0,03 Sekunden des Stücks\n"_qs);
    const QImage image(png);
    ASSERT_EQ(image.size(), QSize(kWaveformFullWidth, kWaveformHeight));
    int top = kWaveformHeight;
    int bottom = 0;
    for (int x = 1; x <= 1200; ++x) {
        const auto [t, b] = Span(image, x);
        ASSERT_GE(t, 0) << x;
        top = std::min(top, t);
        bottom = std::max(bottom, b);
    }
    EXPECT_EQ(top, 110);
    EXPECT_EQ(bottom, 190);
    // The graph starts on the zero line and ends in column 1201, next to the frame.
    EXPECT_TRUE(test::Black(image, 1, 150));
    EXPECT_GE(Span(image, 1201).first, 0);
}

TEST_F(WaveformCommandTest, TimbreAndScaleShapeThePicture) {
    // At 1:1000 each column is one stroke over a thousand frames: ±4000 × 50 div 10000 = ±20
    // pixels for the square and the sine.
    const struct {
        QStringList options;
        int column;
        std::pair<int, int> span;
    } cases[] = {
        {{u"--scale"_qs, u"1000"_qs, u"--square"_qs}, 20, {130, 170}},
        {{u"--scale"_qs, u"1000"_qs, u"--sine"_qs}, 20, {130, 170}},
        // the organ spectrum, the default
        {{u"--scale"_qs, u"1000"_qs}, 20, OrganSpan(20)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options.join(u' ').toStdString());
        ASSERT_EQ(Draw(c.options + QStringList{u"-o"_qs, png, u"-"_qs}), kExitOk);
        EXPECT_EQ(Span(QImage(png), c.column), c.span);
    }
    // 81143 frames at 1:1000 end in column 81, before the picture is full.
    EXPECT_TRUE(out.endsWith(u"Schwingungsbild 1:1000, 1,84 Sekunden\n"_qs)) << out.toStdString();
}

TEST_F(WaveformCommandTest, LongPieceStopsWhenThePictureIsFull) {
    // 200 rows of ten seconds each: more than half an hour, of which 27 seconds are drawn.
    QString piece;
    for (int i = 0; i < 200; ++i) {
        piece += Row(i == 0 ? "c" : "", "435", i % 2 == 0 ? "ceg" : "fac1");
    }
    ASSERT_EQ(Draw({u"--scale"_qs, u"1000"_qs, u"-o"_qs, png, u"-"_qs}, piece), kExitOk)
        << err.toStdString();
    EXPECT_EQ(out, png + u": Schwingungsbild 1:1000, die ersten 27,23 Sekunden des Stücks\n"_qs);
    const QImage image(png);
    EXPECT_EQ(image.width(), kWaveformFullWidth);
    EXPECT_GE(Span(image, 1201).first, 0);
}

TEST_F(WaveformCommandTest, EmptyPieceOrUnwritableFileIsAnError) {
    EXPECT_EQ(Draw({u"--scale"_qs, u"10"_qs, u"-o"_qs, png, u"-"_qs}, u"TA   D    Akkord\r\n"_qs),
              kExitUserError);
    EXPECT_TRUE(err.contains(u"Bitte zuerst Stück spielen!"_qs)) << err.toStdString();
    EXPECT_FALSE(QFile::exists(png));

    EXPECT_EQ(Draw({u"--scale"_qs, u"10"_qs, u"-o"_qs, u"/no/such/folder/w.png"_qs, u"-"_qs}),
              kExitUserError);
    EXPECT_TRUE(err.contains(u"kann nicht in die Datei"_qs)) << err.toStdString();
}

} // namespace
} // namespace zk::cli
