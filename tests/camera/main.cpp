#include "globals.h"

#include <gtest/gtest.h>
#include <QCoreApplication>

extern "C" {
#include <libavutil/log.h>
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    loadTextTable();
    av_log_set_level(AV_LOG_QUIET);  // damaged streams are expected here
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
