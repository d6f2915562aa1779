// SPDX-License-Identifier: GPL-3.0-or-later
// Score files on disk and compressed MusicXML (.mxl): which member of an archive is the score,
// damaged archives, the limits that keep a hostile archive from unpacking into gigabytes, and
// files that are no files.
#include "exchange/score_file.h"

#include "common/qt_printers.h"
#include "common/time_limit.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <chrono>
#include <cstring>
#include <future>
#include <random>
#include <vector>

namespace zk {
namespace {

const QByteArray kScore = "<?xml version=\"1.0\"?>\n<score-partwise version=\"4.0\">"
                          "<part-list><score-part id=\"P1\"/></part-list><part id=\"P1\">"
                          "<measure number=\"1\"><note><pitch><step>C</step><octave>4</octave>"
                          "</pitch><duration>4</duration></note></measure></part>"
                          "</score-partwise>\n";

QByteArray Container(const QString& rootfiles) {
    return (QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<container>"
                           "<rootfiles>%1</rootfiles></container>\n")
                .arg(rootfiles))
        .toUtf8();
}

QString Rootfile(const char* path,
                 const char* mediaType = "application/vnd.recordare.musicxml+xml") {
    return mediaType == nullptr
               ? QStringLiteral("<rootfile full-path=\"%1\"/>").arg(QLatin1String(path))
               : QStringLiteral("<rootfile full-path=\"%1\" media-type=\"%2\"/>")
                     .arg(QLatin1String(path), QLatin1String(mediaType));
}

struct Member {
    const char* name;
    QByteArray bytes;
    bool deflate = true;
    const char* password = nullptr; // AES-256 when set
};

// A zip archive of these members in this order, written by libzip.
QByteArray Zip(const std::vector<Member>& members) {
    QTemporaryDir dir;
    EXPECT_TRUE(dir.isValid());
    const QByteArray path = dir.filePath(QStringLiteral("a.mxl")).toLocal8Bit();
    int error = 0;
    zip_t* archive = zip_open(path.constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    EXPECT_NE(archive, nullptr) << error;
    if (archive == nullptr) {
        return {};
    }
    for (const Member& member : members) {
        // The bytes stay in `members` until zip_close has written them.
        zip_source_t* source = zip_source_buffer(archive, member.bytes.constData(),
                                                 static_cast<zip_uint64_t>(member.bytes.size()), 0);
        EXPECT_NE(source, nullptr);
        const zip_int64_t index = zip_file_add(archive, member.name, source, ZIP_FL_ENC_UTF_8);
        EXPECT_GE(index, 0) << zip_strerror(archive);
        if (index < 0) {
            zip_source_free(source);
            continue;
        }
        const auto at = static_cast<zip_uint64_t>(index);
        EXPECT_EQ(zip_set_file_compression(archive, at,
                                           member.deflate ? ZIP_CM_DEFLATE : ZIP_CM_STORE, 9),
                  0);
        if (member.password != nullptr) {
            EXPECT_EQ(zip_file_set_encryption(archive, at, ZIP_EM_AES_256, member.password), 0)
                << zip_strerror(archive);
        }
    }
    EXPECT_EQ(zip_close(archive), 0) << zip_strerror(archive);
    QFile file(QString::fromLocal8Bit(path));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

quint32 Read32(const QByteArray& bytes, qsizetype at) {
    quint32 value = 0;
    for (int i = 3; i >= 0; --i) {
        value = (value << 8) | static_cast<unsigned char>(bytes.at(at + i));
    }
    return value;
}

void Write32(QByteArray& bytes, qsizetype at, quint32 value) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

// The archive with the unpacked size of its only member stated as `size`, in the local header
// and in the central directory, as a crafted file would state it.
QByteArray WithStatedSize(QByteArray archive, quint32 size) {
    int patched = 0;
    for (qsizetype at = 0; at + 46 <= archive.size(); ++at) {
        const quint32 signature = Read32(archive, at);
        if (signature == 0x04034b50U) { // local file header: sizes at 18 (packed), 22
            Write32(archive, at + 22, size);
            ++patched;
            at += 29;
        } else if (signature == 0x02014b50U) { // central directory entry: sizes at 20, 24
            Write32(archive, at + 24, size);
            ++patched;
            at += 45;
        }
    }
    EXPECT_EQ(patched, 2);
    return archive;
}

// The message ScoreXmlFromArchive refuses the archive with; empty when it returns.
QString Refusal(const QByteArray& archive) {
    try {
        ScoreXmlFromArchive(archive);
    } catch (const ScoreError& error) {
        EXPECT_FALSE(error.message().isEmpty());
        return error.message().isEmpty() ? QStringLiteral("(empty message)") : error.message();
    }
    return {};
}

// ---------------------------------------------------------------------------------------------
// The score in the archive

TEST(ArchiveRoot, IsTheFileTheContainerNames) {
    const QByteArray other =
        "<?xml version=\"1.0\"?><score-partwise><!-- not this --></score-partwise>";
    const struct {
        const char* what;
        std::vector<Member> members;
    } cases[] = {
        // As notation programs write it: the type stored first, the container, the score.
        {"usual order",
         {{"mimetype", "application/vnd.recordare.musicxml", false},
          {"META-INF/container.xml", Container(Rootfile("lied.musicxml"))},
          {"lied.musicxml", kScore}}},
        // The score in a folder, behind another XML file that comes first.
        {"not the first member",
         {{"andere.xml", other},
          {"META-INF/container.xml", Container(Rootfile("score/lied.xml"))},
          {"score/lied.xml", kScore}}},
        // The container after the score it names.
        {"container last",
         {{"a.xml", other},
          {"b.xml", kScore},
          {"META-INF/container.xml", Container(Rootfile("b.xml"))}}},
        // A printed copy listed first is no score.
        {"pdf listed first",
         {{"META-INF/container.xml",
           Container(Rootfile("lied.pdf", "application/pdf") + Rootfile("lied.musicxml"))},
          {"lied.pdf", "%PDF-1.4 not a score"},
          {"lied.musicxml", kScore}}},
        // A root file without a media type.
        {"no media type",
         {{"META-INF/container.xml", Container(Rootfile("x/lied.xml", nullptr))},
          {"x/andere.xml", other},
          {"x/lied.xml", kScore}}},
        // Stored rather than deflated.
        {"stored",
         {{"META-INF/container.xml", Container(Rootfile("lied.xml")), false},
          {"lied.xml", kScore, false}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QByteArray xml;
        EXPECT_NO_THROW(xml = ScoreXmlFromArchive(Zip(c.members)));
        EXPECT_EQ(xml, kScore);
    }
}

TEST(ArchiveRoot, WithoutAContainerIsTheFirstScoreOutsideMetaInf) {
    const struct {
        const char* what;
        std::vector<Member> members;
    } cases[] = {
        // Neither the text file nor the XML in META-INF; the first .musicxml.
        {"musicxml",
         {{"liesmich.txt", "<score-partwise/>"},
          {"META-INF/manifest.xml", "<manifest/>"},
          {"lied.musicxml", kScore},
          {"zweites.xml", "<score-partwise/>"}}},
        // An .xml file counts as well, whatever the case of its ending.
        {"xml",
         {{"META-INF/x.xml", "<x/>"}, {"Lied.XML", kScore}, {"b.musicxml", "<score-partwise/>"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QByteArray xml;
        EXPECT_NO_THROW(xml = ScoreXmlFromArchive(Zip(c.members)));
        EXPECT_EQ(xml, kScore);
    }
}

TEST(ArchiveRoot, AMissingScoreIsRefused) {
    const struct {
        const char* what;
        std::vector<Member> members;
        const char* named; // a part of the message
    } cases[] = {
        // The container names a file the archive lacks.
        {"named but missing",
         {{"META-INF/container.xml", Container(Rootfile("fehlt.musicxml"))}, {"lied.pdf", "%PDF"}},
         "fehlt.musicxml"},
        // No container and no XML outside META-INF.
        {"nothing", {{"liesmich.txt", "Hallo"}, {"META-INF/manifest.xml", "<manifest/>"}}, "keine"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QString message = Refusal(Zip(c.members));
        EXPECT_TRUE(message.contains(QString::fromUtf8(c.named))) << message.toStdString();
    }
}

TEST(ArchiveDamage, AnArchiveThatIsNoneIsRefused) {
    const QByteArray archive =
        Zip({{"META-INF/container.xml", Container(Rootfile("lied.xml"))}, {"lied.xml", kScore}});
    ASSERT_TRUE(IsZipArchive(archive));
    const struct {
        const char* what;
        QByteArray bytes;
    } cases[] = {
        // Cut off in a download: the directory at the end is missing.
        {"truncated", archive.left(archive.size() / 2)},
        {"truncated near the end", archive.left(archive.size() - 10)},
        // The right first bytes and nothing else.
        {"only a signature", QByteArray("PK\x03\x04", 4) + QByteArray(100, '\x7f')},
        {"empty", QByteArray()},
        {"plain XML", kScore},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(Refusal(c.bytes).isEmpty());
    }
}

TEST(ArchiveDamage, AMemberWithChangedBytesIsRefused) {
    // One byte of the stored score changed on the way, keeping the XML well formed: C4 became
    // D4. The archive's checksum tells, and the reader must not hand on a different score.
    QByteArray archive = Zip({{"lied.xml", kScore, false}});
    const qsizetype at = archive.indexOf("<step>C</step>");
    ASSERT_GT(at, 0);
    archive[at + 6] = 'D';
    const QString message = Refusal(archive);
    EXPECT_FALSE(message.isEmpty()) << "a damaged member was read as a score";
}

TEST(ArchiveDamage, AnEncryptedMemberIsRefused) {
    const QByteArray archive = Zip({{"META-INF/container.xml", Container(Rootfile("lied.xml"))},
                                    {"lied.xml", kScore, true, "geheim"}});
    ASSERT_FALSE(archive.isEmpty());
    const QString message = Refusal(archive);
    EXPECT_TRUE(message.contains(u"lied.xml")) << message.toStdString();
}

// ---------------------------------------------------------------------------------------------
// The limits

TEST(ArchiveLimits, AMemberStatedLargerThanTheLimitIsNotUnpacked) {
    // 1.5 MiB of noise, deflated (it stays about as large), stated to unpack into 201 MiB: a
    // ratio of about 1:134, within the ratio limit, so only the size can refuse it.
    std::mt19937 random(1234);
    QByteArray noise(3 << 19, Qt::Uninitialized);
    for (char& byte : noise) {
        byte = static_cast<char>(random() & 0xFF);
    }
    const QByteArray archive = WithStatedSize(
        Zip({{"lied.xml", noise}}), static_cast<quint32>(kMaxUnpackedScoreBytes + (1 << 20)));
    QElapsedTimer timer;
    timer.start();
    const QString message = Refusal(archive);
    EXPECT_TRUE(message.contains(QStringLiteral("MiB")) && message.contains(u"lied.xml"))
        << message.toStdString();
    EXPECT_LT(timer.elapsed(), test::TimeLimitMs(1000)) << "refused before unpacking";
}

TEST(ArchiveLimits, AStrongCompressionRatioIsRefused) {
    // A well-formed score padded with 2 MiB of blanks deflates to a few kilobytes: over 1:200.
    const QByteArray padded =
        QByteArray(kScore).replace("<part-list>", QByteArray(2 << 20, ' ') + "<part-list>");
    const QString message = Refusal(Zip({{"lied.xml", padded}}));
    EXPECT_TRUE(message.contains(QStringLiteral("komprimiert")) && message.contains(u"lied.xml"))
        << message.toStdString();
    // The same score with ordinary compression is read.
    QString score;
    for (int i = 0; i < 200; ++i) {
        score += QStringLiteral("<note><pitch><step>%1</step><octave>%2</octave></pitch>"
                                "<duration>%3</duration></note>\n")
                     .arg(QChar(u"CDEFGAB"[i % 7]))
                     .arg(3 + i % 3)
                     .arg(1 + i % 4);
    }
    const QByteArray ordinary = QByteArray(kScore).replace("<note>", score.toUtf8() + "<note>");
    QByteArray xml;
    EXPECT_NO_THROW(xml = ScoreXmlFromArchive(Zip({{"lied.xml", ordinary}})));
    EXPECT_EQ(xml, ordinary);
}

// ---------------------------------------------------------------------------------------------
// Files on disk

class ScoreFileBytes : public ::testing::Test {
protected:
    QString Write(const char* name, const QByteArray& bytes) {
        const QString path = m_dir.filePath(QString::fromUtf8(name));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    // The message the file is refused with, which must name it; empty when it is read.
    static QString Refusal(const QString& path) {
        try {
            ReadScoreFileBytes(path);
        } catch (const FileError& error) {
            EXPECT_TRUE(error.message().contains(path)) << error.message().toStdString();
            return error.message().isEmpty() ? QStringLiteral("(empty message)") : error.message();
        }
        return {};
    }
    // A file of `size` bytes that takes no room on disk.
    QString Sparse(const char* name, qint64 size) {
        const QString path = Write(name, {});
        EXPECT_TRUE(QFile(path).resize(size));
        return path;
    }
    QTemporaryDir m_dir;
};

TEST_F(ScoreFileBytes, AreTheFilesBytes) {
    const QByteArray archive = Zip({{"lied.xml", kScore}});
    EXPECT_EQ(ReadScoreFileBytes(Write("lied.musicxml", kScore)), kScore);
    EXPECT_EQ(ReadScoreFileBytes(Write("lied.mxl", archive)), archive);
    EXPECT_EQ(ReadScoreFileBytes(Write("leer.xml", {})), QByteArray());
}

TEST_F(ScoreFileBytes, AFileOverTheLimitIsRefused) {
    EXPECT_EQ(ReadScoreFileBytes(Sparse("grenze.xml", kMaxScoreFileBytes)).size(),
              kMaxScoreFileBytes);
    for (const qint64 size : {kMaxScoreFileBytes + 1, qint64{4} << 30}) {
        SCOPED_TRACE(size);
        const QString message = Refusal(Sparse("gross.mxl", size));
        EXPECT_TRUE(message.contains(QStringLiteral("MiB"))) << message.toStdString();
    }
}

TEST_F(ScoreFileBytes, WhatIsNoFileIsRefused) {
    // A folder, a file that is not there.
    EXPECT_FALSE(Refusal(m_dir.path()).isEmpty());
    EXPECT_FALSE(Refusal(m_dir.filePath(QStringLiteral("fehlt.xml"))).isEmpty());
    // A device that never ends.
    if (QFile::exists(QStringLiteral("/dev/zero"))) {
        QElapsedTimer timer;
        timer.start();
        EXPECT_FALSE(Refusal(QStringLiteral("/dev/zero")).isEmpty());
        EXPECT_LT(timer.elapsed(), test::TimeLimitMs(3000));
    }
}

TEST_F(ScoreFileBytes, APipeIsRefusedAtOnce) {
    // Opening a pipe for reading waits for a writer that never comes; the reader must not try.
    const QByteArray path = m_dir.filePath(QStringLiteral("pipe.xml")).toLocal8Bit();
    ASSERT_EQ(::mkfifo(path.constData(), 0600), 0) << std::strerror(errno);
    auto reading = std::async(std::launch::async, [&path] {
        try {
            ReadScoreFileBytes(QString::fromLocal8Bit(path));
            return QStringLiteral("read");
        } catch (const FileError& error) {
            return QStringLiteral("FileError: ") + error.message();
        } catch (const std::exception& error) {
            return QStringLiteral("other error: ") + QString::fromUtf8(error.what());
        }
    });
    if (reading.wait_for(std::chrono::seconds(2)) != std::future_status::ready) {
        // Free the waiting reader: a writer that opens the pipe and closes it at once.
        const int writer = ::open(path.constData(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0) {
            ::close(writer);
        }
        ADD_FAILURE() << "reading a pipe blocked";
    }
    const QString outcome = reading.get();
    EXPECT_TRUE(outcome.startsWith(QStringLiteral("FileError"))) << outcome.toStdString();
}

} // namespace
} // namespace zk
