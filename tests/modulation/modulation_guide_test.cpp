// SPDX-License-Identifier: GPL-3.0-or-later
#include "modulation/modulation_guide.h"

#include "common/qt_printers.h"
#include "common/scripted_dialogs.h"
#include "modulation/modulation_calculator.h"

#include <gtest/gtest.h>

namespace zk {
namespace {

TEST(ModulationGuide, EverySequenceReachesItsKey) {
    int sequences = 0;
    for (const GuideTable& table : GuideTables()) {
        for (const GuideEntry& entry : GuideEntries(table)) {
            if (entry.ops.isEmpty()) {
                continue;
            }
            SCOPED_TRACE(
                (table.heading + u' ' + entry.key + u'(' + entry.ops + u')').toStdString());
            test::ScriptedDialogs dialogs;
            ListHistory history;
            ModulationCalculator calculator(dialogs, history);
            QString scale = GuideStartScale(table);
            for (const QChar letter : entry.ops) {
                const auto op = ModulationOpFromLetter(QStringView(&letter, 1));
                ASSERT_TRUE(op.has_value());
                scale = calculator.Apply(*op, scale);
            }
            // The first tone without its record, and the mode, name the key: "Es+" is a major
            // scale on "es+".
            QString first = scale.section(u' ', 0, 0);
            first = first.left(first.indexOf(u'(') < 0 ? first.size() : first.indexOf(u'('));
            const bool major = entry.key.at(0).isUpper();
            EXPECT_EQ(first, entry.key.at(0).toLower() + entry.key.mid(1));
            EXPECT_TRUE(scale.endsWith(major ? u"  Dur" : u"  moll")) << scale.toStdString();
            EXPECT_TRUE(dialogs.messages.isEmpty());
            ++sequences;
        }
    }
    EXPECT_EQ(sequences, 57);
}

TEST(ModulationGuide, StartScales) {
    EXPECT_EQ(GuideStartScale(GuideTables().at(0)), u"c d e f g a h c  Dur"_qs);
    EXPECT_EQ(GuideStartScale(GuideTables().at(3)), u"c d es f g as b c  moll"_qs);
}

TEST(ModulationGuide, ExplanationLayout) {
    const QStringList lines = ModulationExplanation().split(u'\n');
    ASSERT_EQ(lines.size(), 6 + 4 * 2 + 3 + 6);
    EXPECT_EQ(lines.at(0), u"Eine Quinte höher oder tiefer (Modulation 2. Stufe. Zwei Töner werden "
                           u"geändert: Q=TT, q=tt)"_qs);
    EXPECT_EQ(lines.at(4), u"(Die Reihenfolge ist, wenn nicht \"m\" vorkommt, beliebig!)"_qs);
    EXPECT_EQ(lines.at(6), u"C-Dur->Dur   c(m) Cis Des(mqt) D-(qtm) D(QQ) Dis Es(qqq) Es+(mT) "
                           u"E(Tm) E+(QQQQ)"_qs);
    EXPECT_EQ(lines.at(7), u"             F(q) Fis Ges G(Q) Gis As(qqqq) As+(mt) A(tm) A+(QQQ) "
                           u"Ais B(qq) H"_qs);
    // Tables are separated by one empty line; each heading is padded to 13 characters.
    const char16_t* headings[] = {u"C-Dur->Dur", u"C-Dur->moll", u"c-moll->Dur", u"c-moll->moll"};
    for (int t = 0; t < 4; ++t) {
        const QString& first = lines.at(6 + 3 * t);
        EXPECT_EQ(first.left(13), QString::fromUtf16(headings[t]).leftJustified(13));
        EXPECT_NE(first.at(13), u' ');
        EXPECT_TRUE(lines.at(7 + 3 * t).startsWith(QString(13, u' ')));
        EXPECT_NE(lines.at(7 + 3 * t).at(13), u' ');
        if (t < 3) {
            EXPECT_TRUE(lines.at(8 + 3 * t).isEmpty());
        }
    }
    // The keys As and A sit between Gis and Ais, ges between fis and g.
    EXPECT_TRUE(lines.at(13).contains(u" Gis As(t) A(mQQQ) Ais "));
    EXPECT_TRUE(lines.at(15).endsWith(u" fis ges(qqtm)"));
    EXPECT_EQ(lines.mid(17), (QStringList{{}, {}, {}, u" "_qs, u" "_qs, u" "_qs}));
}

} // namespace
} // namespace zk
