// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/errors.h"

#include <QByteArray>
#include <QString>

// The bytes of a score file, and the score's XML out of a compressed MusicXML file (.mxl, a zip
// archive): the only place that touches libzip. Everything a hostile file could make expensive is
// limited before it is unpacked.

namespace zk {

// A score that cannot be read as one: the German message names the place where it can.
class ScoreError : public Error {
public:
    using Error::Error;
};

inline constexpr qint64 kMaxScoreFileBytes = qint64{50} << 20;      // 50 MiB on disk
inline constexpr qint64 kMaxUnpackedScoreBytes = qint64{200} << 20; // 200 MiB of XML
inline constexpr qint64 kMaxCompressionRatio = 200;                 // unpacked : packed

// Whether the bytes begin as a zip archive does ("PK\3\4"), as every .mxl file.
bool IsZipArchive(const QByteArray& bytes);

// The whole file, refused with a FileError when it cannot be read, is not a regular file (a pipe
// would block) or is larger than kMaxScoreFileBytes.
QByteArray ReadScoreFileBytes(const QString& path);

// The root score of a compressed MusicXML file: the first root file that
// META-INF/container.xml names, or, in an archive without one, its first .musicxml or .xml
// member outside META-INF. Throws ScoreError for a damaged or encrypted archive, a missing root
// file, or a member that would unpack beyond kMaxUnpackedScoreBytes or with a ratio over
// kMaxCompressionRatio.
QByteArray ScoreXmlFromArchive(const QByteArray& archive);

} // namespace zk
