// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/score_file.h"

#include "support/program_files.h"
#include "support/system_reason.h"

#include <QXmlStreamReader>

#include <zip.h>

#include <memory>

namespace zk {

namespace {

const QString kArchiveName = QStringLiteral("Die komprimierte MusicXML-Datei (.mxl)");

// Owns an open archive; the buffer source it was opened from goes with it.
struct ArchiveCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
using ArchiveHandle = std::unique_ptr<zip_t, ArchiveCloser>;

struct MemberCloser {
    void operator()(zip_file_t* member) const { zip_fclose(member); }
};
using MemberHandle = std::unique_ptr<zip_file_t, MemberCloser>;

QString ZipReason(zip_error_t* error) {
    return QString::fromUtf8(zip_error_strerror(error));
}

ArchiveHandle OpenArchive(const QByteArray& bytes) {
    zip_error_t error;
    zip_error_init(&error);
    // The source reads the bytes in place; they outlive the archive, which is closed before
    // ScoreXmlFromArchive returns.
    zip_source_t* source = zip_source_buffer_create(
        bytes.constData(), static_cast<zip_uint64_t>(bytes.size()), 0, &error);
    if (source == nullptr) {
        const QString reason = ZipReason(&error);
        zip_error_fini(&error);
        throw ScoreError(
            QStringLiteral("%1 kann nicht geöffnet werden: %2").arg(kArchiveName, reason));
    }
    zip_t* archive = zip_open_from_source(source, ZIP_RDONLY, &error);
    if (archive == nullptr) {
        zip_source_free(source);
        const QString reason = ZipReason(&error);
        zip_error_fini(&error);
        throw ScoreError(QStringLiteral("%1 ist beschädigt: %2").arg(kArchiveName, reason));
    }
    zip_error_fini(&error);
    return ArchiveHandle(archive);
}

// The member's bytes, refused before reading when its header promises too much, and while reading
// should the data not keep that promise.
QByteArray ReadMember(zip_t* archive, zip_int64_t index, const QString& name) {
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive, static_cast<zip_uint64_t>(index), 0, &stat) != 0 ||
        (stat.valid & ZIP_STAT_SIZE) == 0) {
        throw ScoreError(
            QStringLiteral("%1 ist beschädigt: \"%2\" hat keine Größe.").arg(kArchiveName, name));
    }
    const auto size = static_cast<qint64>(std::min<zip_uint64_t>(stat.size, INT64_MAX));
    if (size > kMaxUnpackedScoreBytes) {
        throw ScoreError(QStringLiteral("\"%1\" in der .mxl-Datei wäre entpackt %2 MiB groß; "
                                        "Zirkelon liest höchstens %3 MiB.")
                             .arg(name)
                             .arg(size >> 20)
                             .arg(kMaxUnpackedScoreBytes >> 20));
    }
    if ((stat.valid & ZIP_STAT_COMP_SIZE) != 0) {
        const auto packed = static_cast<qint64>(std::max<zip_uint64_t>(stat.comp_size, 1));
        if (size / packed > kMaxCompressionRatio) {
            throw ScoreError(QStringLiteral("\"%1\" in der .mxl-Datei ist ungewöhnlich stark "
                                            "komprimiert (1:%2, erlaubt sind höchstens 1:%3); "
                                            "die Datei wird nicht entpackt.")
                                 .arg(name)
                                 .arg(size / packed)
                                 .arg(kMaxCompressionRatio));
        }
    }
    const MemberHandle member(zip_fopen_index(archive, static_cast<zip_uint64_t>(index), 0));
    if (!member) {
        throw ScoreError(QStringLiteral("\"%1\" in der .mxl-Datei kann nicht gelesen werden: %2")
                             .arg(name, QString::fromUtf8(zip_strerror(archive))));
    }
    QByteArray bytes(size, Qt::Uninitialized);
    qint64 done = 0;
    while (done < size) {
        const zip_int64_t got =
            zip_fread(member.get(), bytes.data() + done, static_cast<zip_uint64_t>(size - done));
        if (got < 0) {
            throw ScoreError(QStringLiteral("\"%1\" in der .mxl-Datei ist beschädigt: %2")
                                 .arg(name, QString::fromUtf8(zip_file_strerror(member.get()))));
        }
        if (got == 0) {
            break;
        }
        done += got;
    }
    if (done != size) {
        throw ScoreError(
            QStringLiteral("\"%1\" in der .mxl-Datei ist kürzer als angegeben.").arg(name));
    }
    // libzip compares the checksum on the read that finds the end: without it a changed byte
    // would pass unnoticed.
    char probe = 0;
    const zip_int64_t beyond = zip_fread(member.get(), &probe, 1);
    if (beyond != 0) {
        throw ScoreError(QStringLiteral("\"%1\" in der .mxl-Datei ist beschädigt: %2")
                             .arg(name, beyond < 0
                                            ? QString::fromUtf8(zip_file_strerror(member.get()))
                                            : QStringLiteral("länger als angegeben")));
    }
    return bytes;
}

// The first root file container.xml names with a MusicXML media type (or none at all).
QString RootFileFromContainer(const QByteArray& container) {
    QXmlStreamReader xml(container);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != u"rootfile") {
            continue;
        }
        const auto attributes = xml.attributes();
        const QString mediaType = attributes.value(QLatin1String("media-type")).toString();
        const QString path = attributes.value(QLatin1String("full-path")).toString();
        if (!path.isEmpty() &&
            (mediaType.isEmpty() || mediaType.startsWith(u"application/vnd.recordare.musicxml"))) {
            return path;
        }
    }
    return {};
}

// Without a container file: the first member that looks like a score.
QString FirstScoreMember(zip_t* archive) {
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* raw = zip_get_name(archive, static_cast<zip_uint64_t>(i), 0);
        const QString name = raw == nullptr ? QString() : QString::fromUtf8(raw);
        if (!name.startsWith(u"META-INF/") && (name.endsWith(u".musicxml", Qt::CaseInsensitive) ||
                                               name.endsWith(u".xml", Qt::CaseInsensitive))) {
            return name;
        }
    }
    return {};
}

} // namespace

bool IsZipArchive(const QByteArray& bytes) {
    return bytes.startsWith(QByteArrayLiteral("PK\x03\x04"));
}

QByteArray ReadScoreFileBytes(const QString& path) {
    return ReadFileBytes(path, kMaxScoreFileBytes);
}

QByteArray ScoreXmlFromArchive(const QByteArray& archiveBytes) {
    const ArchiveHandle archive = OpenArchive(archiveBytes);
    const QString containerName = QStringLiteral("META-INF/container.xml");
    QString root;
    const zip_int64_t container = zip_name_locate(archive.get(), "META-INF/container.xml", 0);
    if (container >= 0) {
        root = RootFileFromContainer(ReadMember(archive.get(), container, containerName));
    }
    if (root.isEmpty()) {
        root = FirstScoreMember(archive.get());
    }
    if (root.isEmpty()) {
        throw ScoreError(QStringLiteral("%1 enthält keine Partitur: META-INF/container.xml nennt "
                                        "keine, und keine andere .xml- oder .musicxml-Datei "
                                        "liegt darin.")
                             .arg(kArchiveName));
    }
    const zip_int64_t index = zip_name_locate(archive.get(), root.toUtf8().constData(), 0);
    if (index < 0) {
        throw ScoreError(QStringLiteral("%1 nennt die Partitur \"%2\", die darin fehlt.")
                             .arg(kArchiveName, root));
    }
    return ReadMember(archive.get(), index, root);
}

} // namespace zk
