// SPDX-License-Identifier: GPL-3.0-or-later
#include "command_line_synopsis.h"

#include <QRegularExpression>

namespace zk::test {

namespace {

bool IsOptionName(const QString& word) {
    static const QRegularExpression option(QStringLiteral("^--?[a-z][a-z-]*$"));
    return option.match(word).hasMatch();
}

// The words of a synopsis; a double-quoted placeholder with blanks stays one word.
QStringList SynopsisWords(const QString& synopsis) {
    QStringList words;
    QString word;
    bool quoted = false;
    for (const QChar c : synopsis) {
        if (c == u'"') {
            quoted = !quoted;
        }
        if (c == u' ' && !quoted) {
            if (!word.isEmpty()) {
                words.append(word);
            }
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.isEmpty()) {
        words.append(word);
    }
    return words;
}

QString WithoutClosing(QString word) {
    while (!word.isEmpty() && (word.endsWith(u']') || word.endsWith(u')'))) {
        word.chop(1);
    }
    return word;
}

// The named characters the manual page uses.
QString NamedCharacter(const QString& name) {
    static const std::map<QString, QString> names = {
        {QStringLiteral("dq"), QStringLiteral("\"")}, {QStringLiteral("aq"), QStringLiteral("'")},
        {QStringLiteral("->"), QStringLiteral("→")},  {QStringLiteral("em"), QStringLiteral("—")},
        {QStringLiteral("en"), QStringLiteral("–")},  {QStringLiteral("rs"), QStringLiteral("\\")},
    };
    const auto found = names.find(name);
    return found == names.end() ? QString() : found->second;
}

// The escapes of roff text resolved.
QString ResolveEscapes(const QString& text) {
    QString plain;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != u'\\' || i + 1 >= text.size()) {
            plain += c;
            continue;
        }
        const QChar e = text.at(++i);
        if (e == u'f' || e == u'(' || e == u'[') {
            // A font change is dropped; a named character is looked up.
            const bool font = e == u'f';
            qsizetype start = i + 1;
            QString name;
            if (font && start < text.size() && text.at(start) != u'(' && text.at(start) != u'[') {
                i = start;
                continue;
            }
            const QChar form = font ? text.at(start) : e;
            if (font) {
                ++start;
            }
            if (form == u'(') {
                name = text.mid(start, 2);
                i = start + 1;
            } else {
                const qsizetype end = text.indexOf(u']', start);
                name = text.mid(start, end < 0 ? -1 : end - start);
                i = end < 0 ? text.size() : end;
            }
            if (!font) {
                plain += NamedCharacter(name);
            }
        } else if (e == u' ' || e == u'~') {
            plain += u' ';
        } else if (e == u'e' || e == u'\\') {
            plain += u'\\';
        } else if (e == u'&' || e == u'|' || e == u'^') {
            // Zero-width characters.
        } else {
            plain += e; // "\-", "\.", "\'" and the like stand for the character itself
        }
    }
    return plain;
}

// The arguments of a macro line: separated by blanks, double quotes group, "" inside quotes is a
// quote; escapes are kept for ResolveEscapes.
QStringList MacroArguments(const QString& text) {
    QStringList arguments;
    QString argument;
    bool quoted = false;
    bool started = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\\' && i + 1 < text.size()) {
            argument += c;
            argument += text.at(++i);
            started = true;
        } else if (c == u'"') {
            if (quoted && i + 1 < text.size() && text.at(i + 1) == u'"') {
                argument += u'"';
                ++i;
            } else {
                quoted = !quoted;
            }
            started = true;
        } else if (c == u' ' && !quoted) {
            if (started) {
                arguments.append(argument);
            }
            argument.clear();
            started = false;
        } else {
            argument += c;
            started = true;
        }
    }
    if (started) {
        arguments.append(argument);
    }
    return arguments;
}

bool IsMacro(const QString& line, const char* name) {
    const QString macro = QStringLiteral(".") + QLatin1String(name);
    return line == macro || line.startsWith(macro + u' ');
}

} // namespace

OptionSet OptionsOfSynopsis(const QString& synopsis) {
    OptionSet options;
    const QStringList words = SynopsisWords(synopsis);
    for (qsizetype i = 0; i < words.size(); ++i) {
        QString word = words.at(i);
        while (word.startsWith(u'[') || word.startsWith(u'(')) {
            word.remove(0, 1);
        }
        const QString name = WithoutClosing(word);
        if (!IsOptionName(name)) {
            continue;
        }
        QString value;
        if (name == word && i + 1 < words.size()) {
            const QString& next = words.at(i + 1);
            if (next != u"|" && !next.startsWith(u'[') && !next.startsWith(u'(') &&
                !next.startsWith(u'-')) {
                value = WithoutClosing(next);
            }
        }
        options[name] = value;
    }
    return options;
}

QStringList OptionNames(const OptionSet& options) {
    QStringList names;
    for (const auto& [name, value] : options) {
        names.append(name);
    }
    return names;
}

QString PlainRoff(const QString& line) {
    if (line.startsWith(QStringLiteral(".\\\"")) || line.startsWith(QStringLiteral("'\\\""))) {
        return {};
    }
    if (!line.startsWith(u'.')) {
        return ResolveEscapes(line).trimmed();
    }
    const qsizetype blank = line.indexOf(u' ');
    const QString macro = line.mid(1, blank < 0 ? -1 : blank - 1);
    const QStringList arguments = MacroArguments(blank < 0 ? QString() : line.mid(blank + 1));
    // The alternating font macros join their arguments without blanks.
    static const QStringList alternating = {"BI", "IB", "BR", "RB", "IR", "RI"};
    const QString joined =
        arguments.join(alternating.contains(macro) ? QString() : QStringLiteral(" "));
    return ResolveEscapes(joined).trimmed();
}

QStringList ManSection(const QString& manText, const QString& title) {
    QStringList section;
    bool inside = false;
    for (const QString& line : manText.split(u'\n')) {
        if (IsMacro(line, "SH")) {
            if (inside) {
                break;
            }
            inside = PlainRoff(line) == title;
        } else if (inside) {
            section.append(line);
        }
    }
    return section;
}

QStringList ManTags(const QStringList& lines) {
    QStringList tags;
    int depth = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString& line = lines.at(i);
        if (IsMacro(line, "RS")) {
            ++depth;
        } else if (IsMacro(line, "RE")) {
            --depth;
        } else if (IsMacro(line, "TP") && depth == 0 && i + 1 < lines.size()) {
            tags.append(PlainRoff(lines.at(i + 1)));
        }
    }
    return tags;
}

QList<ManCommand> ManCommands(const QString& manText) {
    QList<ManCommand> commands;
    int depth = 0;
    bool tagNext = false;
    for (const QString& line : ManSection(manText, QStringLiteral("BEFEHLE"))) {
        if (IsMacro(line, "SS")) {
            commands.append({PlainRoff(line), {}, {}, {}});
            depth = 0;
            continue;
        }
        if (commands.isEmpty()) {
            continue;
        }
        ManCommand& command = commands.last();
        if (IsMacro(line, "RS")) {
            ++depth;
        } else if (IsMacro(line, "RE")) {
            --depth;
        } else if (IsMacro(line, "TP")) {
            tagNext = true;
        } else if (tagNext) {
            tagNext = false;
            const QString tag = PlainRoff(line);
            const qsizetype blank = tag.indexOf(u' ');
            const QString name = tag.left(blank);
            if (depth > 0) {
                command.listedValues.append(tag);
            } else if (IsOptionName(name)) {
                command.options[name] = blank < 0 ? QString() : tag.mid(blank + 1).trimmed();
            }
        } else if (command.synopsis.isEmpty() && !line.startsWith(u'.') &&
                   !line.trimmed().isEmpty()) {
            command.synopsis = PlainRoff(line);
        }
    }
    return commands;
}

} // namespace zk::test
