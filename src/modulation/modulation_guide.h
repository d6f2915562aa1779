// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "modulation/scale_text.h"

#include <QList>
#include <QString>
#include <QStringList>

// The fixed explanation beside the calculator: what the steps do, and four tables of keys with
// the sequence of operations that reaches each from C major or from c minor.

namespace zk {

struct GuideTable {
    QString heading;   // "C-Dur->Dur"
    Mode from;         // the table starts from C major or from c minor
    QStringList lines; // two lines of blank-separated entries such as "Es+(mT)"
};

// One table entry: the key ("Es+": upper case major, lower case minor, comma marks) and the
// operation letters that reach it, empty when the table names the key without a sequence.
struct GuideEntry {
    QString key;
    QString ops;
};

const QList<GuideTable>& GuideTables();

QList<GuideEntry> GuideEntries(const GuideTable& table);

// The scale a table's sequences start from: "c d e f g a h c  Dur" or the c minor scale.
QString GuideStartScale(const GuideTable& table);

// The whole explanation text, lines separated by "\n".
QString ModulationExplanation();

} // namespace zk
