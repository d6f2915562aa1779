// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/cli_piece.h"

#include "engine/temperaments.h"
#include "exchange/score_file.h"
#include "exchange/score_import.h"
#include "piece/piece_table.h"
#include "support/program_files.h"

#include <QFileInfo>
#include <QSaveFile>

namespace zk::cli {

namespace {

const QString kKeysOption = QStringLiteral("--keys");
const QString kAutoKeys = QStringLiteral("auto");
const QString kDefaultTempo = QStringLiteral("80");

} // namespace

QString InputName(const QString& file) {
    return file == u"-" ? QStringLiteral("Standardeingabe") : file;
}

std::optional<QByteArray> ReadPieceInput(const QString& file, Io& io) {
    if (file == u"-") {
        return io.readStdin ? io.readStdin() : QByteArray();
    }
    const QFileInfo info(file);
    if (!info.exists() || (info.isFile() && !info.isReadable())) {
        io.err += QStringLiteral("Die Datei \"%1\" kann nicht gelesen werden.\n").arg(file);
        return std::nullopt;
    }
    try {
        return ReadScoreFileBytes(file);
    } catch (const FileError& error) {
        io.err += error.message() + u'\n';
        return std::nullopt;
    }
}

std::optional<QString> ParseOptions(const QStringList& args, const QStringList& valueOptions,
                                    const QStringList& flagOptions, CommandArguments& out) {
    bool optionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        if (optionsEnded) {
            out.free.append(arg);
        } else if (arg == u"--") {
            optionsEnded = true;
        } else if (valueOptions.contains(arg)) {
            if (i + 1 >= args.size()) {
                return QStringLiteral("Nach %1 fehlt der Wert.").arg(arg);
            }
            out.values.insert(arg, args.at(++i));
        } else if (flagOptions.contains(arg)) {
            out.flags.insert(arg);
        } else if (arg.startsWith(u'-') && arg != u"-") {
            return QStringLiteral("Unbekannte Option \"%1\".").arg(arg);
        } else {
            out.free.append(arg);
        }
    }
    return std::nullopt;
}

std::optional<QString> OptionalValue(const QMap<QString, QString>& values, const QString& option) {
    if (!values.contains(option)) {
        return std::nullopt;
    }
    return values.value(option);
}

std::optional<QString> ParsePieceArguments(const QStringList& args, const QStringList& valueOptions,
                                           const QStringList& flagOptions, PieceArguments& out,
                                           int trailingCount, const QString& trailingMissing) {
    const QString exampleOption = QStringLiteral("--example");
    CommandArguments parsed;
    if (auto problem = ParseOptions(args, valueOptions + QStringList{exampleOption, kKeysOption},
                                    flagOptions, parsed)) {
        return problem;
    }
    if (const auto keys = OptionalValue(parsed.values, kKeysOption);
        keys && !ScoreKeyColumnFromName(*keys) && *keys != kAutoKeys) {
        return UnknownKeysMessage(*keys);
    }
    out.values.insert(parsed.values);
    out.flags.unite(parsed.flags);
    QStringList positional = parsed.free;
    const bool example = out.values.contains(exampleOption);
    if (example) {
        out.example = out.values.take(exampleOption);
    }
    const qsizetype needed = trailingCount + (example ? 0 : 1);
    if (positional.size() > needed) {
        return example ? QStringLiteral("DATEI und --example schließen einander aus: das Stück "
                                        "kommt aus einer Datei oder aus einem Beispiel.")
                       : QStringLiteral("Nur eine Datei ist möglich.");
    }
    if (positional.size() < needed) {
        return positional.isEmpty() && !example
                   ? QStringLiteral("Die Stückdatei fehlt (DATEI oder --example NAME).")
                   : trailingMissing;
    }
    if (!example) {
        out.file = positional.takeFirst();
    }
    out.trailing = positional;
    return std::nullopt;
}

QString UnknownKeysMessage(const QString& name) {
    return QStringLiteral("Unbekannte Tonartenspalte \"%1\": möglich sind signature (die "
                          "Tonika jeder Vorzeichnung), equal (\"~\", gleichstufig) und auto "
                          "(automatisch gefunden).")
        .arg(name);
}

QString ScoreOnlyKeysMessage() {
    return QStringLiteral("--keys signature und equal wählen die Tonartenspalte einer "
                          "MusicXML-Partitur; ein Stück bringt seine Tonarten selbst mit "
                          "(--keys auto findet sie neu).");
}

QString UnknownExampleMessage(const QString& caption) {
    return QStringLiteral("Unbekanntes Beispiel \"%1\". \"zirkelon example\" zeigt alle "
                          "Beispiele.")
        .arg(caption);
}

QString CutCellsNotice(int cutCells) {
    return QStringLiteral("Hinweis: %1 Einträge sind länger als ihr Feld in der Stückdatei und "
                          "wurden gekürzt (Akkorde höchstens 16 Zeichen).")
        .arg(cutCells);
}

std::optional<ScoreKeyColumn> ScoreKeyColumnFromName(const QString& name) {
    if (name == u"signature") {
        return ScoreKeyColumn::Signature;
    }
    if (name == u"equal") {
        return ScoreKeyColumn::Equal;
    }
    return std::nullopt;
}

QString PieceTempo(const std::optional<QString>& option, const PieceSettings& piece) {
    return option.value_or(piece.tempo.value_or(kDefaultTempo));
}

std::optional<PieceSettings> LoadPiece(const PieceArguments& arguments, PieceTable& table, Io& io) {
    auto keysName = OptionalValue(arguments.values, kKeysOption);
    if (keysName == kAutoKeys) {
        // The piece as it is, then its keys found.
        PieceArguments plain = arguments;
        plain.values.remove(kKeysOption);
        auto settings = LoadPiece(plain, table, io);
        if (settings) {
            FindKeysInto(table, {}, io);
        }
        return settings;
    }
    // ParsePieceArguments has refused any other value.
    const ScoreKeyColumn keys =
        ScoreKeyColumnFromName(keysName.value_or(QString())).value_or(ScoreKeyColumn::Signature);
    PieceSettings settings;
    if (arguments.example) {
        const ExampleEntry* entry = FindExample(*arguments.example);
        if (entry == nullptr) {
            io.err += UnknownExampleMessage(*arguments.example) + u'\n';
            return std::nullopt;
        }
        if (keysName) {
            io.err += ScoreOnlyKeysMessage() + u'\n';
            return std::nullopt;
        }
        static_cast<ExampleSettings&>(settings) = BuildExampleTable(*entry, table);
        return settings;
    }
    const auto bytes = ReadPieceInput(arguments.file, io);
    if (!bytes) {
        return std::nullopt;
    }
    const OpenedPiece opened = LoadPieceOrScore(*bytes, keys, table);
    if (!opened.score) {
        if (keysName) {
            io.err += ScoreOnlyKeysMessage() + u'\n';
            return std::nullopt;
        }
        settings.timbre = opened.timbre;
        return settings;
    }
    if (opened.score->score.quarterTempo) {
        settings.tempo = QString::number(TempoFieldValue(*opened.score->score.quarterTempo));
    }
    io.err += ImportReport(*opened.score, InputName(arguments.file)).join(u'\n') + u'\n';
    return settings;
}

void FindKeysInto(PieceTable& table, const KeySearchOptions& options, Io& io) {
    TemperamentList temperaments = TemperamentList::LoadForReading();
    const KeySearchResult found = FindKeys(table, options, &temperaments);
    WriteKeys(found, table);
    io.err += KeyReport(found).join(u'\n') + u'\n';
}

void WritePieceFileOutput(const QString& text, const QString& output, Io& io) {
    if (output.isEmpty()) {
        io.out += text;
    } else {
        WriteTextFile(output, text);
    }
}

bool WritePngFile(const QImage& image, const QString& path) {
    try {
        CheckWritableFile(path); // a folder, a pipe or a device is not written over
    } catch (const FileError&) {
        return false;
    }
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && image.save(&file, "PNG") && file.commit();
}

void CliPassHost::ClearLastPiece() {
    if (clearLastPiece) {
        clearLastPiece();
    }
}

void CliPassHost::PlayChord(int dauer, const ChordFrequencies& frequencies) {
    if (playChord) {
        playChord(dauer, frequencies);
    }
}

} // namespace zk::cli
