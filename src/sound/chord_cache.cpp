// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound/chord_cache.h"

#include "support/number_text.h"
#include "support/program_files.h"

#include <QLocale>

namespace zk {

namespace {

// The frequency with the fewest decimals (at least the one of the original naming) that still
// reads back as the very same double, the precision the samples are computed with.
QString FrequencyName(double f) {
    const QChar separator = DecimalSeparator();
    for (int decimals = 1; decimals <= 18; ++decimals) {
        QString text = NumberToText(decimals, f);
        QString plain = text;
        plain.replace(separator, u'.');
        bool ok = false;
        if (QLocale::c().toDouble(plain, &ok) == f && ok) {
            return text;
        }
    }
    return QString::number(f, 'g', 17);
}

} // namespace

QString ChordCacheName(const ChordFrequencies& frequencies) {
    QStringList tones;
    for (int i = 0; i < ChordFrequencies::kSlots; ++i) {
        const auto f = static_cast<double>(frequencies[i]);
        if (f == 0) {
            break;
        }
        tones.append(FrequencyName(f));
    }
    if (tones.isEmpty()) {
        tones.append(QStringLiteral("0"));
    }
    return tones.join(u'+').replace(u',', u'_');
}

QString ChordCacheFolder(int dauer, const Timbre& timbre) {
    const QString duration = NumberToText(1, dauer);
    const TimbreMode mode = timbre.Mode();
    if (mode == TimbreMode::Rechteck || mode == TimbreMode::Saegezahn) {
        return QStringLiteral("wav/") + timbre.rechteckCaption.left(1) + duration;
    }
    // The percentages as read, not the raw texts: texts that sound the same share a folder, and
    // nothing typed into an edit can lead out of the cache folder.
    QString folder = QStringLiteral("wav/") + duration;
    for (const int p : OvertonePercentages(timbre.overtoneTexts)) {
        folder += u'o' + QString::number(p);
    }
    return folder;
}

QString ChordCachePath(int dauer, const ChordFrequencies& frequencies, const Timbre& timbre) {
    return CacheDir() + ChordCacheFolder(dauer, timbre) + u'/' + ChordCacheName(frequencies) +
           QStringLiteral(".wav");
}

} // namespace zk
