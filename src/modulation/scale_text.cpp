// SPDX-License-Identifier: GPL-3.0-or-later
#include "modulation/scale_text.h"

#include "support/text_helpers.h"
#include "support/user_dialogs.h"

#include <QStringList>

namespace zk {

QString ModeWord(Mode mode) {
    return mode == Mode::Major ? QStringLiteral("Dur") : QStringLiteral("moll");
}

std::optional<ScaleTones> ParseScale(Mode required, const QString& text, UserDialogs& dialogs) {
    const QString lower = text.toLower();
    const bool major = lower.contains(u"dur");
    const bool minor = lower.contains(u"moll");
    if (!major && !minor) {
        dialogs.ShowMessage(
            QStringLiteral("Am Ende der der Tonleiter muss \"Dur\" oder \"moll\" stehen!"));
        return std::nullopt;
    }
    if (required == Mode::Major && !major) {
        dialogs.ShowMessage(QStringLiteral("Tonleiter muss Dur sein"));
        return std::nullopt;
    }
    if (required == Mode::Minor && !minor) {
        dialogs.ShowMessage(QStringLiteral("Tonleiter muss moll sein"));
        return std::nullopt;
    }
    ScaleTones tones;
    for (int k = 0; k < 7; ++k) {
        tones[static_cast<size_t>(k)] = TokenAt(text, k + 1);
    }
    return tones;
}

namespace {

QChar Opposite(QChar letter) {
    switch (letter.unicode()) {
    case u'D':
        return u'S';
    case u'S':
        return u'D';
    case u'd':
        return u's';
    case u's':
        return u'd';
    default:
        return QChar();
    }
}

// Removes the first occurrence of `part`; true when there was one.
bool RemoveFirst(QString& text, QStringView part) {
    const qsizetype at = text.indexOf(part);
    if (at < 0) {
        return false;
    }
    text.remove(at, part.size());
    return true;
}

// The name respelled for one alteration; `name` is in lower case.
QString AlterName(QString name, QChar letter) {
    switch (letter.unicode()) {
    case u'D':
        if (name.contains(u"es") || name.contains(u"as") || name.contains(u'b')) {
            // Bring the contracted flats to the full "-es" form, then take one "es" away:
            // "as" -> "aes" -> "a", "es" -> "ees" -> "e", "b" -> "hes" -> "h".
            if (name.startsWith(u'a') || name.startsWith(u'e')) {
                name.insert(1, u'e');
            } else if (name.startsWith(u'b')) {
                name.replace(0, 1, QStringLiteral("hes"));
            }
            RemoveFirst(name, u"es");
        } else {
            name += QStringLiteral("is");
        }
        break;
    case u'S':
        if (!RemoveFirst(name, u"is")) {
            name += QStringLiteral("es");
        }
        break;
    case u'd':
        if (!RemoveFirst(name, u"-")) {
            name += u'+';
        }
        break;
    case u's':
        if (!RemoveFirst(name, u"+")) {
            name += u'-';
        }
        break;
    default:
        name += u'?';
        break;
    }

    // Letters first, comma marks after them, and the usual contractions: "a+es" is "as+".
    QString letters;
    QString marks;
    for (const QChar c : name) {
        (c == u'+' || c == u'-' ? marks : letters).append(c);
    }
    if (letters == u"ees") {
        letters = QStringLiteral("es");
    } else if (letters == u"aes") {
        letters = QStringLiteral("as");
    } else if (letters == u"hes") {
        letters = QStringLiteral("b");
    } else if (letters == u"bis") {
        letters = QStringLiteral("h");
    }
    return letters + marks;
}

} // namespace

QString AlterTone(const QString& tone, QChar letter) {
    QString name = tone;
    QString record;
    const qsizetype open = tone.indexOf(u'(');
    if (open >= 0) {
        name = tone.left(open);
        const qsizetype close = tone.indexOf(u')', open + 1);
        record = close < 0 ? tone.mid(open + 1) : tone.mid(open + 1, close - open - 1);
    }

    const QChar opposite = Opposite(letter);
    const qsizetype cancelled = opposite.isNull() ? -1 : record.indexOf(opposite);
    if (cancelled >= 0) {
        record.remove(cancelled, 1);
    } else {
        record.append(letter);
    }
    record = Trim(record);
    if (!record.isEmpty()) {
        record = u'(' + record + u')';
    }

    // A first tone read back from a history line starts with a capital ("G", "As"). The name is
    // respelled in lower case and gets its capital back, so "As" raised is "A", not "Asis".
    const bool capital = !name.isEmpty() && name.at(0) >= u'A' && name.at(0) <= u'Z';
    if (capital) {
        name[0] = name.at(0).toLower();
    }
    name = Trim(AlterName(name, letter));
    if (capital && !name.isEmpty()) {
        name[0] = name.at(0).toUpper();
    }
    return name + record;
}

QString AssembleScale(const ScaleTones& tones, Mode mode) {
    QString text;
    for (const QString& tone : tones) {
        text += tone + u' ';
    }
    return text + tones[0] + QStringLiteral("  ") + ModeWord(mode);
}

QString ScaleForKey(const QString& key) {
    struct KeyScale {
        const char16_t* key;
        const char16_t* tones;
        Mode mode;
    };
    static constexpr KeyScale kKeys[] = {
        {u"C", u"c d e f g a h", Mode::Major},
        {u"G", u"g a h c d e fis", Mode::Major},
        {u"D", u"d e fis g a h cis", Mode::Major},
        {u"A", u"a h cis d e fis gis", Mode::Major},
        {u"H", u"h cis dis e fis gis ais", Mode::Major},
        {u"Fis", u"fis gis ais h cis dis eis", Mode::Major},
        {u"Cis", u"cis dis eis fis gis ais his", Mode::Major},
        {u"F", u"f g a b c d e", Mode::Major},
        {u"B", u"b c d es f g a", Mode::Major},
        {u"Es", u"es f g as b c d", Mode::Major},
        {u"As", u"as b c des es f g", Mode::Major},
        {u"Des", u"des es f ges as b c", Mode::Major},
        {u"Ges", u"ges as b ces des es f", Mode::Major},
        {u"Ces", u"ces des es fes ges as b", Mode::Major},
        {u"a", u"a h c d e f g", Mode::Minor},
        {u"e", u"e fis g a h c d", Mode::Minor},
        {u"h", u"h cis d e fis g a", Mode::Minor},
        {u"fis", u"fis gis a h cis d e", Mode::Minor},
        {u"cis", u"cis dis e fis gis a h", Mode::Minor},
        {u"gis", u"gis ais h cis dis e fis", Mode::Minor},
        {u"dis", u"dis eis fis gis ais h cis", Mode::Minor},
        {u"ais", u"ais his cis dis eis fis gis", Mode::Minor},
        {u"d", u"d e f g a b c", Mode::Minor},
        {u"g", u"g a b c d es f", Mode::Minor},
        {u"c", u"c d es f g as b", Mode::Minor},
        {u"f", u"f g as b c des es", Mode::Minor},
        {u"b", u"b c des es f ges as", Mode::Minor},
        {u"es", u"es f ges as b ces des", Mode::Minor},
        {u"as", u"as b ces des es fes ges", Mode::Minor},
    };
    for (const KeyScale& entry : kKeys) {
        if (key == QStringView(entry.key)) {
            const QStringList names = QString::fromUtf16(entry.tones).split(u' ');
            ScaleTones tones;
            for (size_t k = 0; k < tones.size(); ++k) {
                tones[k] = names.at(static_cast<qsizetype>(k));
            }
            return AssembleScale(tones, entry.mode);
        }
    }
    return QStringLiteral("?");
}

} // namespace zk
