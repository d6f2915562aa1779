// SPDX-License-Identifier: GPL-3.0-or-later
// "zirkelon midi": the options, the file it writes from the pass's chords, its messages.
#include "exchange/midi_file.h"
#include "exchange/piece_notes.h"
#include "exchange/played_pieces.h"
#include "exchange/smf_reader.h"

#include "app/cli/cli.h"
#include "common/locale_guard.h"
#include "common/piece_rows.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace zk::cli {
namespace {

using test::Row;

const QString kPiece =
    Row("c", "8", "ceg") + Row("", "8", "ceg") + Row("", "4", "") + Row("", "4", "fac1");

struct Written {
    int status = -1;
    Io io;
    QByteArray bytes;
    bool exists = false;
};

// Runs the command with the piece on standard input (or `source`), writing into a fresh folder.
Written Midi(const QStringList& options, const QString& piece = kPiece,
             const QStringList& source = {QStringLiteral("-")}) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("stueck.mid"));
    Written result;
    result.io.readStdin = [piece] { return piece.toUtf8(); };
    result.status = cli::Run(QStringList{QStringLiteral("midi")} + options +
                                 QStringList{QStringLiteral("-o"), out} + source,
                             result.io);
    QFile file(out);
    result.exists = file.exists();
    if (file.open(QIODevice::ReadOnly)) {
        result.bytes = file.readAll();
    }
    return result;
}

TEST(MidiCommand, WritesThePassesChordsWithEitherMethod) {
    test::LocaleGuard german(test::German());
    const struct {
        QStringList options;
        int channels; // channels with notes
        int tunings;  // tuning messages
    } cases[] = {
        {{}, 5, 0}, // bend by default; c and c1 share a bend
        {{QStringLiteral("--tuning"), QStringLiteral("bend")}, 5, 0},
        {{QStringLiteral("--tuning"), QStringLiteral("mts")}, 1, 2}, // "ceg", then "fac1"
    };
    const LastPiece played = test::PlayedText(kPiece);
    for (const auto& c : cases) {
        const Written w = Midi(c.options);
        ASSERT_EQ(w.status, kExitOk) << w.io.err.toStdString();
        EXPECT_TRUE(w.io.err.isEmpty()) << w.io.err.toStdString();
        // Three chords and a rest; 8 + 8 + 4 + 4 hundredths of 23 each, and the short rest.
        EXPECT_TRUE(w.io.out.endsWith(QStringLiteral(": 3 Akkorde, 1 Pause, 5,53 Sekunden\n")))
            << w.io.out.toStdString();
        const test::DecodedPiece decoded = test::DecodeSmfBytes(w.bytes);
        const test::NoteCheck check = test::CheckNotes(decoded, played, 0.05L);
        EXPECT_TRUE(check.problems.isEmpty()) << check.problems.join(u';').toStdString();
        EXPECT_EQ(check.notes, 9);
        int channels = 0;
        for (const test::ChannelRecord& channel : decoded.channels) {
            channels += channel.programChanges;
        }
        EXPECT_EQ(channels, c.channels);
        EXPECT_EQ(decoded.tuningMessages, c.tunings);
    }
}

TEST(MidiCommand, QuarterProgramAndName) {
    const struct {
        QStringList options;
        QStringList source;
        int division;
        int program;
        QByteArray name;
    } cases[] = {
        // Tempo 80: a 32nd note is 23 hundredths, a quarter 184 ticks; the church organ.
        {{}, {QStringLiteral("-")}, 184, 19, {}},
        // Tempo 40: round(46.875) = 47 hundredths, a quarter of 376.
        {{QStringLiteral("--tempo"), QStringLiteral("40"), QStringLiteral("--program"),
          QStringLiteral("0")},
         {QStringLiteral("-")},
         376,
         0,
         {}},
        // Tempo 8: a quarter of 1872 hundredths does not fit a tempo event; half a second.
        {{QStringLiteral("--tempo"), QStringLiteral("8"), QStringLiteral("--program"),
          QStringLiteral("127")},
         {QStringLiteral("-")},
         50,
         127,
         {}},
        // An example is named by its caption.
        {{},
         {QStringLiteral("--example"), QStringLiteral("Mitteltönig F-Dur As-Dur")},
         184,
         19,
         "Mittelt\xf6nig F-Dur As-Dur"},
    };
    for (const auto& c : cases) {
        const Written w = Midi(c.options, kPiece, c.source);
        ASSERT_EQ(w.status, kExitOk) << w.io.err.toStdString();
        EXPECT_EQ(test::ReadSmf(w.bytes).division, c.division);
        const test::DecodedPiece decoded = test::DecodeSmfBytes(w.bytes);
        EXPECT_EQ(decoded.tempo, 10000LL * c.division);
        EXPECT_EQ(decoded.channels[0].program, c.program);
        EXPECT_EQ(decoded.trackName, c.name);
    }
}

TEST(MidiCommand, APieceFileGivesItsNameToTheTrack) {
    QTemporaryDir dir;
    const QString piecePath = dir.filePath(QStringLiteral("Kadenz in C.txt"));
    QFile file(piecePath);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(kPiece.toUtf8());
    file.close();
    const Written w = Midi({}, {}, {piecePath});
    ASSERT_EQ(w.status, kExitOk) << w.io.err.toStdString();
    EXPECT_EQ(test::DecodeSmfBytes(w.bytes).trackName, QByteArray("Kadenz in C"));
}

TEST(MidiCommand, WrongUsageAndBadInput) {
    const struct {
        const char* what;
        QStringList args; // after "midi"
        int status;
        const char* message;
    } cases[] = {
        {"unknown method",
         {"--tuning", "cents", "-o", "x.mid", "-"},
         kExitUsage,
         "Unbekannte Stimmungsart \"cents\""},
        {"program too high",
         {"--program", "128", "-o", "x.mid", "-"},
         kExitUsage,
         "Unbekanntes Programm \"128\""},
        {"program no number",
         {"--program", "Orgel", "-o", "x.mid", "-"},
         kExitUsage,
         "Unbekanntes Programm \"Orgel\""},
        {"no output", {"-"}, kExitUsage, "Die Ausgabedatei (-o) fehlt."},
        {"timbre option", {"--sine", "-o", "x.mid", "-"}, kExitUsage, "Unbekannte Option"},
        {"no piece", {"-o", "x.mid"}, kExitUsage, "Die Stückdatei fehlt"},
        {"unknown example",
         {"-o", "x.mid", "--example", "Tanz"},
         kExitUserError,
         "Unbekanntes Beispiel \"Tanz\""},
        {"tempo 0", {"--tempo", "0", "-o", "x.mid", "-"}, kExitUserError, "Division durch Null"},
    };
    QTemporaryDir dir;
    for (const auto& c : cases) {
        Io io;
        io.readStdin = [] { return kPiece.toUtf8(); };
        QStringList args{QStringLiteral("midi")};
        for (const QString& arg : c.args) {
            args << (arg == u"x.mid" ? dir.filePath(arg) : arg);
        }
        EXPECT_EQ(cli::Run(args, io), c.status) << c.what;
        EXPECT_TRUE(io.err.contains(QString::fromUtf8(c.message))) << io.err.toStdString();
        EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("x.mid")))) << c.what;
    }
}

TEST(MidiCommand, AnEmptyPieceWritesNoFile) {
    // Rows without a duration or a chord play nothing.
    const Written w = Midi({}, Row("c", "", "") + Row("", "", ""));
    EXPECT_EQ(w.status, kExitUserError);
    EXPECT_TRUE(w.io.err.startsWith(QStringLiteral("Das Stück ist leer")))
        << w.io.err.toStdString();
    EXPECT_FALSE(w.exists);
}

TEST(MidiCommand, LeftOutTonesAreNamedOnStderr) {
    // The concert pitch of 10000 Hz puts c3 (four octaves above c, 22.7 times 528 Hz) far above
    // MIDI's highest key; the lower tones still fit.
    const Written w = Midi({QStringLiteral("--pitch"), QStringLiteral("10000")},
                           Row("c", "8", "Cc3") + Row("", "8", "c4"));
    ASSERT_EQ(w.status, kExitOk) << w.io.err.toStdString();
    EXPECT_TRUE(w.io.err.startsWith(QStringLiteral("Hinweis: 2 Töne fehlen in der MIDI-Datei")))
        << w.io.err.toStdString();
    EXPECT_EQ(test::DecodeSmfBytes(w.bytes).notes.size(), 1u);
}

} // namespace
} // namespace zk::cli
