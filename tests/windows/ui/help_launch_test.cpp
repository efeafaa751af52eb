// The help launcher as F1 and the Help buttons reach it: online help first,
// then the help-path directories in order, then the page beside the module,
// and the messages when nothing is found. Shell and HTML Help calls are
// observed through the modal-window seam.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/windows/ui/help_call_recorder.h"
#include "tests/windows/ui/help_test_files.h"
#include "ui/help_launch.h"

namespace {

using ovl::testing::HelpCallRecorder;
using ovl::testing::HelpPathSetting;
using ovl::testing::ScratchFolder;
using Log = std::vector<std::string>;

constexpr char kFilter[] = "TERN Video Overlay Filter (2.0)";
constexpr char kPageA[] = "Filters\\TERNVideoOverlayFilter2.0.htm";
constexpr char kPageB[] = "Filters\\TERNVideoOverlayFilter2.0_UI.htm";
// A name no page beside the module answers to.
constexpr char kUnknownFilter[] = "TERN Unknown Filter (9.9)";

class HelpLaunch : public ::testing::Test {
 protected:
  // The calls after the online try, which the shell refuses here (no browser).
  Log LocalCalls() const {
    Log local;
    for (const std::string& line : calls.log) {
      if (line.rfind("shell https://", 0) != 0) local.push_back(line);
    }
    return local;
  }

  HelpCallRecorder calls;
  ScratchFolder folder{"ovl-help"};
};

TEST_F(HelpLaunch, OnlineHelpComesFirstUnderTheOnlinePageName) {
  calls.browserPresent = true;
  HelpPathSetting path(nullptr);  // online help needs no local setting
  EXPECT_EQ(0, ovl::ui::LaunchHelp(kFilter, 0));
  ASSERT_EQ(1u, calls.log.size());
  const std::string& line = calls.log[0];
  EXPECT_EQ(0u, line.rfind("shell https://", 0)) << line;
  const std::string tail = "/help/sdk/v23/multimedia/filters/TERN-Video-Overlay-Filter-2-0.html";
  EXPECT_EQ(line.size() - tail.size(), line.rfind(tail)) << line;

  // Characters that cannot stand in an address are dropped, the others made safe.
  calls.Clear();
  EXPECT_EQ(0, ovl::ui::LaunchHelp("My \"Big\" Filter [v1.5] a/b:c<d>e?f\\g|h*i-j", 0));
  ASSERT_EQ(1u, calls.log.size());
  EXPECT_NE(std::string::npos, calls.log[0].find("/filters/My-Big-Filter-(v1-5)-abcdefghij.html")) << calls.log[0];
}

TEST_F(HelpLaunch, ArgumentsThatNameNoFilter) {
  HelpPathSetting path("C:\\");
  EXPECT_EQ(-3, ovl::ui::LaunchHelp(nullptr, 0));
  EXPECT_EQ(-3, ovl::ui::LaunchHelp("", 0));
  // Too long a name is not even tried online.
  const std::string longName(261, 'x');
  EXPECT_EQ(-2, ovl::ui::LaunchHelp(longName.c_str(), 0));
  EXPECT_EQ(Log{}, calls.log);
  // 260 characters are still a name.
  EXPECT_EQ(-1, ovl::ui::LaunchHelp(std::string(260, 'x').c_str(), 0));
  EXPECT_EQ(1u, calls.Lines("shell https://").size());
}

TEST_F(HelpLaunch, WithoutTheHelpPathSettingOnlyTheShortMessageAppears) {
  {
    HelpPathSetting missingValue(nullptr);
    EXPECT_EQ(-3, ovl::ui::LaunchHelp(kFilter, 0));
    ovl::ui::OpenHelp(kFilter);
  }
  EXPECT_EQ(-3, ovl::ui::LaunchHelp(kFilter, 0));  // no key at all
  ASSERT_EQ(3u, calls.Lines("shell https://").size());
  EXPECT_EQ(Log{std::string("box ") + kFilter + ": Can't find help file."}, calls.Lines("box"));
}

TEST_F(HelpLaunch, HelpPathOfTwoDirectoriesWithATrailingSeparator) {
  // The first directory has no help; the second, named without a trailing
  // backslash and followed by the separator, has page B only.
  const std::string first = folder.Path() + "\\first\\";
  CreateDirectoryA(first.c_str(), nullptr);
  const std::string pageB = folder.Write(std::string("second\\") + kPageB);
  const std::string setting = first + ";" + folder.Path() + "\\second;";
  HelpPathSetting path(setting.c_str());
  EXPECT_EQ(0, ovl::ui::LaunchHelp(kFilter, 0));
  EXPECT_EQ(Log{"shell " + pageB}, LocalCalls());
}

TEST_F(HelpLaunch, HelpFileInTheFirstDirectoryBeatsPagesInTheSecond) {
  folder.Write("one\\rkfilters.chm");
  folder.Write(std::string("two\\") + kPageA);
  const std::string setting = folder.Path() + "\\one;" + folder.Path() + "\\two";
  HelpPathSetting path(setting.c_str());
  EXPECT_EQ(0, ovl::ui::LaunchHelp(kFilter, 0));
  EXPECT_EQ(Log{"html help " + folder.Path() + "\\one\\rkfilters.chm::/Filters/TERNVideoOverlayFilter2.0.htm"},
            calls.Lines("html help"));
  EXPECT_EQ(1u, calls.Lines("shell").size());  // the online try only
}

TEST_F(HelpLaunch, WithinADirectoryTheHelpFileThenPageAThenPageB) {
  const std::string pageA = folder.Write(std::string("d\\") + kPageA);
  const std::string pageB = folder.Write(std::string("d\\") + kPageB);
  const std::string setting = folder.Path() + "\\d\\";
  HelpPathSetting path(setting.c_str());
  EXPECT_EQ(0, ovl::ui::LaunchHelp(kFilter, 0));
  DeleteFileA(pageA.c_str());
  EXPECT_EQ(0, ovl::ui::LaunchHelp(kFilter, 0));
  folder.Write("d\\rkfilters.chm");
  EXPECT_EQ(0, ovl::ui::LaunchHelp(kFilter, 0));
  const Log local = {"shell " + pageA, "shell " + pageB,
                     "html help " + folder.Path() + "\\d\\rkfilters.chm::/Filters/TERNVideoOverlayFilter2.0.htm"};
  EXPECT_EQ(local, LocalCalls());
}

TEST_F(HelpLaunch, ThePageShippedBesideTheModuleIsTheLastResort) {
  const std::string empty = folder.Path() + "\\empty";
  CreateDirectoryA(empty.c_str(), nullptr);
  HelpPathSetting path(empty.c_str());
  EXPECT_EQ(0, ovl::ui::LaunchHelp(kFilter, 0));
  const std::string shipped = ovl::testing::ProgramFolder() + kPageA;
  EXPECT_EQ(Log{"shell " + shipped}, LocalCalls());
  EXPECT_NE(std::string::npos, ovl::testing::ReadWholeFile(shipped).find("<title>TERN Video Overlay Filter (2.0)"));
}

TEST_F(HelpLaunch, NothingFoundNamesTheFilesLookedFor) {
  const std::string empty = folder.Path() + "\\empty";
  CreateDirectoryA(empty.c_str(), nullptr);
  HelpPathSetting path(empty.c_str());
  EXPECT_EQ(-1, ovl::ui::LaunchHelp(kUnknownFilter, 0));
  ovl::ui::OpenHelp(kUnknownFilter);
  const std::string detail = std::string("box ") + kUnknownFilter +
                             ": The following help files were not found in the help path(s): \n\n"
                             "- ...\\Filters\\TERNUnknownFilter9.9.htm\n"
                             "- ...\\Filters\\TERNUnknownFilter9.9_UI.htm\n"
                             "- ...\\rkfilters.chm\n";
  EXPECT_EQ((Log{detail, detail, std::string("box ") + kUnknownFilter + ": Can't find help file."}),
            calls.Lines("box"));
}

}  // namespace
