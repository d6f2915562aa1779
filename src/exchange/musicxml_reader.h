// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "exchange/score_file.h"
#include "exchange/score_notes.h"

#include <QByteArray>
#include <QString>

// MusicXML, the format every notation program writes, read into sounding notes: both document
// kinds (score-partwise, and score-timewise with measures outside the parts), exact time from
// <divisions>, <backup>, <forward> and <chord/>, transposing instruments at sounding pitch, ties
// joined, grace, cue and percussion notes left out and counted. The XML is streamed with
// QXmlStreamReader, which never loads a DTD or any other external entity.

namespace zk {

inline constexpr int kMaxScoreXmlDepth = 256;

// Reads the score. Throws ScoreError with a German message naming line and column (and measure
// and part where there are some) for XML that is not well formed or nested deeper than
// kMaxScoreXmlDepth, another root element, a microtonal <alter>, or a score without a pitched
// note.
Score ReadMusicXml(const QByteArray& xml);

} // namespace zk
