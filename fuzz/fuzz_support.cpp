// SPDX-License-Identifier: GPL-3.0-or-later
#include "fuzz_checks.h"

#include "exchange/score_import.h"
#include "piece/piece_file.h"
#include "support/ansi_codec.h"
#include "support/errors.h"
#include "support/program_files.h"

#include <QGuiApplication>
#include <QTemporaryDir>

#include <memory>

namespace zk::fuzz {

void Require(bool holds, const std::string& what) {
    if (!holds) {
        throw PropertyViolation(what);
    }
}

const std::vector<FuzzTarget>& FuzzTargets() {
    // Files are read whole: 200 000 bytes is a long piece or a large score. What is typed into a
    // field stays far shorter, except for the evaluator, which takes pasted texts.
    static const std::vector<FuzzTarget> targets = {
        {"musicxml", CheckMusicXml, 200000},
        {"piece", CheckPieceText, 200000},
        {"scala_scale", CheckScalaScale, 200000},
        {"keyboard_mapping", CheckKeyboardMapping, 200000},
        {"wav", CheckWav, 200000},
        {"temperaments", CheckTemperamentList, 200000},
        {"timbre", CheckTimbreLine, 4096},
        {"chord", CheckChord, 4096},
        {"numbers", CheckNumbers, 200000},
        {"modulation", CheckModulation, 4096},
        {"text_codec", CheckTextCodec, 200000},
        {"command_line", CheckCommandLine, 4096},
        {"drift", CheckDrift, 200000},
        {"midi", CheckMidi, 200000},
    };
    return targets;
}

const FuzzTarget* FindFuzzTarget(std::string_view name) {
    for (const FuzzTarget& target : FuzzTargets()) {
        if (name == target.name) {
            return &target;
        }
    }
    return nullptr;
}

void PrepareFuzzing(int* argc, char*** argv) {
    static std::unique_ptr<QTemporaryDir> home;
    if (home) {
        return;
    }
    home = std::make_unique<QTemporaryDir>();
    qputenv("ZIRKELON_HOME", home->path().toLocal8Bit());
    KeepUserFoldersInZirkelonHome();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // Never destroyed: at exit Qt's own statics may already be gone.
    new QGuiApplication(*argc, *argv);
}

QString InputText(const QByteArray& input) {
    return DecodeFileText(input);
}

std::optional<QString> PieceText(const QByteArray& input) {
    if (IsScoreFileBytes(input)) {
        return std::nullopt;
    }
    QString text = InputText(input);
    try {
        CheckPieceFileText(text);
    } catch (const FileError&) {
        return std::nullopt;
    }
    return text;
}

QStringList InputParts(const QByteArray& input, int count) {
    QStringList parts;
    QString rest = InputText(input);
    for (int i = 1; i < count; ++i) {
        const qsizetype end = rest.indexOf(u'\n');
        if (end < 0) {
            parts << rest;
            rest.clear();
        } else {
            parts << rest.left(end);
            rest.remove(0, end + 1);
        }
    }
    parts << rest;
    return parts;
}

} // namespace zk::fuzz
