// SPDX-License-Identifier: GPL-3.0-or-later
#include "modulation/modulation_guide.h"

#include "support/text_helpers.h"

namespace zk {

namespace {
constexpr int kHeadingWidth = 13;
} // namespace

const QList<GuideTable>& GuideTables() {
    static const QList<GuideTable> tables = {
        {QStringLiteral("C-Dur->Dur"),
         Mode::Major,
         {QStringLiteral("c(m) Cis Des(mqt) D-(qtm) D(QQ) Dis Es(qqq) Es+(mT) E(Tm) E+(QQQQ)"),
          QStringLiteral("F(q) Fis Ges G(Q) Gis As(qqqq) As+(mt) A(tm) A+(QQQ) Ais B(qq) H")}},
        {QStringLiteral("C-Dur->moll"),
         Mode::Major,
         {QStringLiteral("c-(tqqq) c(m) cis-(tmT) cis(TQQQ) des d-(tq) dis es e(T) f(mq) fis(QQT)"),
          QStringLiteral("fis-(tmt) ges g-(qqt) g(Qm) gis as a(t) ais b h(TQ)")}},
        {QStringLiteral("c-moll->Dur"),
         Mode::Minor,
         {QStringLiteral("C(m) Ces(tqqq) Ces+(Tmt) C(m) Cis Des(tq) D(mQQ) Dis Es(T) E F(mq)"),
          QStringLiteral("F+(QQT) Fis Ges(qqt) G(mQ) Gis As(t) A(mQQQ) Ais B(TQ) H")}},
        {QStringLiteral("c-moll->moll"),
         Mode::Minor,
         {QStringLiteral(
              "cis des(qtm) d(QQ) dis es(Tm) es-(qqq) e-(mT) e(QQQQ) f(q) fis ges(qqtm)"),
          QStringLiteral("g(Q) gis as-(qqqq) as(tm) a-(mt) a(QQQ) ais b-(qq) b(QTm)")}},
    };
    return tables;
}

QList<GuideEntry> GuideEntries(const GuideTable& table) {
    QList<GuideEntry> entries;
    for (const QString& line : table.lines) {
        for (const QString& entry : line.split(u' ', Qt::SkipEmptyParts)) {
            const qsizetype open = entry.indexOf(u'(');
            if (open < 0) {
                entries.append({entry, QString()});
            } else {
                entries.append({entry.left(open), entry.mid(open + 1).chopped(1)});
            }
        }
    }
    return entries;
}

QString GuideStartScale(const GuideTable& table) {
    return table.from == Mode::Major ? QString::fromUtf16(kInitialScale) : ScaleForKey(u"c"_qs);
}

QString ModulationExplanation() {
    QStringList lines = {
        QStringLiteral("Eine Quinte höher oder tiefer (Modulation 2. Stufe. Zwei Töner werden "
                       "geändert: Q=TT, q=tt)"),
        QStringLiteral("Dur-moll (Modulation 3. Stufe. Drei Töne werden geändert)"),
        QString(),
        QStringLiteral(
            "Modulation höherer Stufen müssen durch Hintereinanderausführung erzeugt werden."),
        QStringLiteral("(Die Reihenfolge ist, wenn nicht \"m\" vorkommt, beliebig!)"),
        QString(),
    };
    const QList<GuideTable>& tables = GuideTables();
    for (qsizetype t = 0; t < tables.size(); ++t) {
        if (t > 0) {
            lines.append(QString());
        }
        lines.append(PadRight(tables[t].heading, kHeadingWidth) + tables[t].lines.at(0));
        lines.append(Blanks(kHeadingWidth) + tables[t].lines.at(1));
    }
    lines << QString() << QString() << QString() << QStringLiteral(" ") << QStringLiteral(" ")
          << QStringLiteral(" ");
    return lines.join(u'\n');
}

} // namespace zk
