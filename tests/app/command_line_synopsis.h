// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <map>

// Readers for the texts that describe the command line outside the program: the usage strings of
// the commands, the manual page's roff source and the bash completion's answers. The tests that
// keep those in step with the program share them.

namespace zk::test {

// The options of a synopsis by name, each with the placeholder of its value as written ("ID",
// "\"P1 P2 P3 P4 P5 P6\"", "v|0|1|2|3|4"), or an empty text for an option without a value.
using OptionSet = std::map<QString, QString>;

// The options of a usage string such as "compute [--display ID] [--tsv] (DATEI | --example
// NAME)". An option is a word of one or two dashes and a lowercase letter; its value is the next
// word unless that is "|", another option or the start of another group, or the option closes a
// group itself.
OptionSet OptionsOfSynopsis(const QString& synopsis);

// The names of `options`, in their order.
QStringList OptionNames(const OptionSet& options);

// One line of roff source as the reader sees it: a font macro's arguments joined as the macro
// joins them, font changes dropped, "\-" as "-", unbreakable spaces as blanks, the named
// characters the page uses as themselves.
QString PlainRoff(const QString& line);

// A subsection of the manual page's command list.
struct ManCommand {
    QString name;             // the subsection's title
    QString synopsis;         // its first text line, plain
    OptionSet options;        // the tags of its list that are options
    QStringList listedValues; // the tags of the lists nested in it (display IDs, operations)
};

// The lines of section `title` of the roff source (after ".SH title" up to the next ".SH").
QStringList ManSection(const QString& manText, const QString& title);

// The tags of the .TP entries of `lines` at the outer level (not inside .RS ... .RE), plain.
QStringList ManTags(const QStringList& lines);

// The commands of the section BEFEHLE.
QList<ManCommand> ManCommands(const QString& manText);

} // namespace zk::test
