// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/text_helpers.h"

namespace zk {

namespace {
bool IsTrimmable(QChar c) {
    return c.unicode() <= 32;
}
} // namespace

QString Trim(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsTrimmable(text.at(begin))) {
        ++begin;
    }
    while (end > begin && IsTrimmable(text.at(end - 1))) {
        --end;
    }
    return text.mid(begin, end - begin);
}

QChar CharAt(const QString& text, int pos) {
    if (pos < 1 || pos > text.size()) {
        return u' ';
    }
    return text.at(pos - 1);
}

QChar LastChar(const QString& text) {
    return CharAt(text, static_cast<int>(text.size()));
}

QString CopyFrom(const QString& text, int from) {
    return text.mid(from < 1 ? 0 : from - 1);
}

QString RemoveBlanks(const QString& text) {
    QString result = text;
    result.remove(u' ');
    return result;
}

QString Blanks(long long n) {
    return n <= 0 ? QString() : QString(n, u' ');
}

QString PadRight(const QString& text, int width) {
    return text.size() >= width ? text : text + Blanks(width - text.size());
}

QString FitWidth(const QString& text, int width) {
    return width <= 0 ? QString() : PadRight(text, width).left(width);
}

bool IsBlank(const QString& text) {
    for (const QChar c : text) {
        if (c != u' ') {
            return false;
        }
    }
    return true;
}

QString WordAt(const QString& text, int n) {
    QString rest = text;
    for (;;) {
        const qsizetype blank = rest.indexOf(u' ');
        if (blank < 0) {
            return n <= 1 ? Trim(rest) : QString();
        }
        if (n <= 1) {
            return Trim(rest.left(blank));
        }
        rest = Trim(rest.mid(blank + 1));
        --n;
    }
}

QString TokenAt(const QString& text, int n) {
    QString rest = text;
    for (;;) {
        rest = Trim(rest);
        qsizetype separator = rest.indexOf(u' ');
        if (separator < 0) {
            separator = rest.indexOf(u'\r');
        }
        if (separator < 0) {
            return n <= 1 ? rest : QString();
        }
        if (n <= 1) {
            return rest.left(separator);
        }
        rest = rest.mid(separator + 1);
        --n;
    }
}

QString GroupDigits(const QString& text) {
    QString result;
    result.reserve(text.size() + text.size() / 3);
    for (qsizetype i = 0; i < text.size(); ++i) {
        result.append(text.at(i));
        const qsizetype after = text.size() - 1 - i;
        if (after > 0 && after % 3 == 0) {
            result.append(u' ');
        }
    }
    return result;
}

QString QuotedInput(const QString& text) {
    constexpr qsizetype kQuotedLength = 40;
    if (text.size() <= kQuotedLength) {
        return text;
    }
    qsizetype cut = kQuotedLength;
    // A character outside the basic plane is not split.
    if (text.at(cut - 1).isHighSurrogate()) {
        --cut;
    }
    return text.left(cut) + QChar(0x2026);
}

} // namespace zk
