// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/played_pieces.h"

#include "app/cli/sound_command.h"

#include <gtest/gtest.h>

namespace zk::test {

namespace {

LastPiece Played(cli::SoundCommandOptions& options, const QString& stdinText) {
    cli::Io io;
    io.readStdin = [stdinText] { return stdinText.toUtf8(); };
    cli::SilentPiece piece;
    const int status = cli::PlayPiece(options, piece.timbre(), piece.Sink(), io);
    EXPECT_EQ(status, cli::kExitOk) << io.err.toStdString();
    return piece.lastPiece();
}

} // namespace

LastPiece PlayedText(const QString& pieceText, const QString& pitch, const QString& tempo) {
    cli::SoundCommandOptions options;
    options.pitch = pitch;
    options.tempo = tempo;
    options.piece.file = QStringLiteral("-");
    return Played(options, pieceText);
}

LastPiece PlayedExample(const QString& caption) {
    cli::SoundCommandOptions options;
    options.piece.example = caption;
    return Played(options, {});
}

} // namespace zk::test
