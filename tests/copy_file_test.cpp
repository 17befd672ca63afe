// The logged file copy.
#include "common/copy_file.h"

#include "test_support.h"

namespace {

constexpr char kSource[] = "C:\\tavrin\\res\\drivedir\\gs.PPD";
constexpr char kDest[] = "C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\gs.PPD";

class CopyFileTest : public test::MachineTest {
 protected:
  void SetUp() override { Boot(sim::Platform::WinXP()); }
  void TearDown() override {
    EXPECT_EQ(m.files.OpenHandles(), 0);
    EXPECT_LE(LogMessages().size(), 1u);
  }
};

TEST_F(CopyFileTest, CopiesBytesExactlyAndTruncatesALongerDestination) {
  const std::string content("PPD\0\xFF\r\n\x1A tail", 12);
  m.files.Put(kSource, content);
  m.files.Put(kDest, std::string(5000, 'o'));
  EXPECT_TRUE(CopyFileLogged(kSource, kDest));
  EXPECT_EQ(m.files.Get(kDest), content);
  EXPECT_TRUE(LogMessages().empty());
}

TEST_F(CopyFileTest, EmptySourceGivesEmptyDestination) {
  m.files.Put(kSource, "");
  EXPECT_TRUE(CopyFileLogged(kSource, kDest));
  EXPECT_EQ(m.files.Get(kDest), "");
}

TEST_F(CopyFileTest, MissingSourceLogsOneLineAndCreatesNothing) {
  EXPECT_FALSE(CopyFileLogged(kSource, kDest));
  EXPECT_EQ(LogMessages(),
            std::vector<std::string>{std::string("CopyFile InFile.Open Failed: ") + kSource});
  EXPECT_FALSE(m.files.Exists(kDest));
}

TEST_F(CopyFileTest, DestinationProblemsNameTheSourceAndLeaveTheDestination) {
  m.files.Put(kSource, "new");
  EXPECT_FALSE(CopyFileLogged(kSource, "C:\\nowhere\\gs.PPD"));
  EXPECT_EQ(LogMessages(),
            std::vector<std::string>{std::string("CopyFile OutFile.Open Failed: ") + kSource});

  m.files.Put(test::kLogPath, "");
  m.files.Put(kDest, "installed");
  m.files.SetLoaded(kDest, true);  // a library the spooler holds
  EXPECT_FALSE(CopyFileLogged(kSource, kDest));
  EXPECT_EQ(LogMessages(),
            std::vector<std::string>{std::string("CopyFile OutFile.Open Failed: ") + kSource});
  EXPECT_EQ(m.files.Get(kDest), "installed");
}

TEST_F(CopyFileTest, AnUnreadableSourceLeavesTheInstalledCopyIntact) {
  m.files.Put(kSource, std::string(1000, 'n'));
  m.files.Put(kDest, "the installed copy");
  m.files.FailReads(kSource, ERROR_READ_FAULT, 100);
  EXPECT_FALSE(CopyFileLogged(kSource, kDest));
  EXPECT_EQ(LogMessages(),
            std::vector<std::string>{std::string("CopyFile Read Failed: ") + kSource});
  EXPECT_EQ(m.files.Get(kDest), "the installed copy");
}

TEST_F(CopyFileTest, NoBufferLogsNewFailed) {
  m.files.Put(kSource, "content");
  m.FailCall("HeapAlloc", ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_FALSE(CopyFileLogged(kSource, kDest));
  EXPECT_EQ(LogMessages(), std::vector<std::string>{std::string("CopyFile new Failed: ") + kSource});
  EXPECT_FALSE(m.files.Exists(kDest));
}

TEST_F(CopyFileTest, AWriteThatFailsHalfWayRemovesTheDestination) {
  m.files.Put(kSource, std::string(4096, 'w'));
  m.files.Put(kDest, "old");
  m.files.FailWrites(kDest, ERROR_DISK_FULL, 1000);
  EXPECT_FALSE(CopyFileLogged(kSource, kDest));
  EXPECT_EQ(LogMessages(),
            std::vector<std::string>{std::string("CopyFile Write Failed: ") + kSource});
  EXPECT_FALSE(m.files.Exists(kDest));
}

}  // namespace
