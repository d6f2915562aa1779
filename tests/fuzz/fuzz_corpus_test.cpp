// SPDX-License-Identifier: GPL-3.0-or-later
// The fuzz targets' kept corpus and every input that once broke a check, through the same checks
// the fuzzer runs: a reader that breaks again fails here, without clang or libFuzzer.
#include "fuzz_checks.h"

#include "common/time_limit.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>

#include <gtest/gtest.h>

#include <exception>
#include <ostream>

namespace zk::fuzz {
// The name in the test's listing, not the bytes of the value.
void PrintTo(const FuzzTarget& target, std::ostream* out) {
    *out << target.name;
}
} // namespace zk::fuzz

namespace zk {
namespace {

QStringList FilesUnder(const QString& folder) {
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        files << it.next();
    }
    files.sort();
    return files;
}

QByteArray Bytes(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

// Runs the check; a broken property or an undocumented exception is a failure naming the input.
void ExpectPasses(const fuzz::FuzzTarget& target, const QByteArray& input, const QString& what) {
    try {
        target.check(input);
    } catch (const fuzz::PropertyViolation& violation) {
        ADD_FAILURE() << what.toStdString() << ": " << violation.what();
    } catch (const std::exception& error) {
        ADD_FAILURE() << what.toStdString() << ": unexpected exception: " << error.what();
    }
}

class FuzzCorpus : public ::testing::TestWithParam<fuzz::FuzzTarget> {
protected:
    QString Folder(const char* kind) const {
        return QStringLiteral(ZK_FUZZ_DIR "/%1/%2")
            .arg(QLatin1String(kind), QLatin1String(GetParam().name));
    }
};

TEST_P(FuzzCorpus, EveryKeptInputPassesItsCheck) {
    const QStringList corpus = FilesUnder(Folder("corpus"));
    // Every target has a corpus to start from.
    ASSERT_GE(corpus.size(), 3) << Folder("corpus").toStdString();
    for (const QString& path : corpus) {
        ExpectPasses(GetParam(), Bytes(path), path);
    }
}

TEST_P(FuzzCorpus, EveryInputThatOnceBrokeACheckPassesIt) {
    // Most targets have never broken; their folder does not exist.
    for (const QString& path : FilesUnder(Folder("crashes"))) {
        ExpectPasses(GetParam(), Bytes(path), path);
    }
}

// No reader takes more than linear time: the longest input the target takes, made of its largest
// kept input over and over, is checked within the fuzzer's limit of a second.
TEST_P(FuzzCorpus, TheLongestInputIsCheckedWithinASecond) {
    QByteArray largest;
    for (const QString& path : FilesUnder(Folder("corpus"))) {
        const QByteArray bytes = Bytes(path);
        if (bytes.size() > largest.size()) {
            largest = bytes;
        }
    }
    ASSERT_FALSE(largest.isEmpty());
    const auto length = static_cast<qsizetype>(GetParam().maxLength);
    QByteArray input;
    input.reserve(length);
    while (input.size() < length) {
        input += largest.left(length - input.size());
    }
    QElapsedTimer timer;
    timer.start();
    ExpectPasses(GetParam(), input, QStringLiteral("the largest input repeated"));
    EXPECT_LT(timer.elapsed(), test::TimeLimitMs(1000));
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzCorpus, ::testing::ValuesIn(fuzz::FuzzTargets()),
                         [](const ::testing::TestParamInfo<fuzz::FuzzTarget>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
} // namespace zk
