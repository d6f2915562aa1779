// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/pass_queue.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <stdexcept>

namespace zk {
namespace {

TEST(PassQueue, ARequestWhileAJobRunsStopsItAndFollowsIt) {
    QStringList log;
    int stops = 0;
    PassQueue queue([&] { ++stops; });
    queue.Run({[&] {
                   log << "first";
                   // Two requests while the first job runs: the first of them is replaced.
                   queue.Run({[&] { log << "second"; }, false});
                   queue.Run({[&] { log << "third"; }, false});
                   log << "first ends";
               },
               true});
    EXPECT_EQ(log, (QStringList{"first", "first ends", "third"}));
    EXPECT_EQ(stops, 2);
    EXPECT_FALSE(queue.Busy());
}

TEST(PassQueue, StopDropsAWaitingJobThatWouldSoundButNotOneThatComputes) {
    for (const bool plays : {true, false}) {
        QStringList log;
        PassQueue queue([] {});
        queue.Run({[&] {
                       queue.Run({[&] { log << "waiting"; }, plays});
                       queue.DropPendingPlayback();
                   },
                   true});
        EXPECT_EQ(log.isEmpty(), plays) << plays;
    }
}

TEST(PassQueue, AFailingJobLeavesTheQueueReady) {
    PassQueue queue([] {});
    int ran = 0;
    EXPECT_THROW(queue.Run({[&] {
                                queue.Run({[&] { ++ran; }, false});
                                throw std::runtime_error("pass failed");
                            },
                            false}),
                 std::runtime_error);
    EXPECT_EQ(ran, 0); // what waited behind a failure is not run
    EXPECT_FALSE(queue.Busy());
    queue.Run({[&] { ++ran; }, false});
    EXPECT_EQ(ran, 1);
}

} // namespace
} // namespace zk
