#include "ioboard.h"

#include <gtest/gtest.h>
#include <QSettings>
#include <QTemporaryDir>

namespace {

TEST(IoDevicePath, ProductionPathWithoutSimulationFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    EXPECT_EQ(ioDevicePath(dir.path(), 0), QStringLiteral("/dev/ttyS0"));
    EXPECT_EQ(ioDevicePath(dir.path(), 3), QStringLiteral("/dev/ttyS3"));
}

TEST(IoDevicePath, SimulationFileNamesThePseudoTerminal) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    {
        QSettings s(dir.filePath(QStringLiteral("simulation.ini")), QSettings::IniFormat);
        s.setValue(QStringLiteral("other/key"), 1);
    }
    EXPECT_EQ(ioDevicePath(dir.path(), 2), QStringLiteral("/dev/ttyS2"));
    {
        QSettings s(dir.filePath(QStringLiteral("simulation.ini")), QSettings::IniFormat);
        s.setValue(QStringLiteral("io/device"), QStringLiteral("/dev/pts/5"));
    }
    EXPECT_EQ(ioDevicePath(dir.path(), 2), QStringLiteral("/dev/pts/5"));
}

}  // namespace
