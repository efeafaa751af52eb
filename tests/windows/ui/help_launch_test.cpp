// The help launcher as F1 and the Help buttons reach it: online help first,
// then the help-path directories in order, then the page beside the module,
// and the messages when nothing is found. Shell and HTML Help calls are
// observed through the modal-window seam.
#include <string>
#include <vector>

#include "tests/windows/ui/page_harness.h"
#include "ui/help_launch.h"
#include "ui/product_texts.h"

namespace ovl::testing {
namespace {

using Log = std::vector<std::string>;

constexpr char kFilter[] = "TERN Video Overlay Filter (2.0)";
constexpr char kPageA[] = "Filters\\TERNVideoOverlayFilter2.0.htm";
constexpr char kPageB[] = "Filters\\TERNVideoOverlayFilter2.0_UI.htm";
constexpr char kChmTopic[] = "rkfilters.chm::/Filters/TERNVideoOverlayFilter2.0.htm";

class HelpLaunch : public ::testing::Test {
 protected:
  // The calls after the online try, which the shell refuses here (no browser).
  Log LocalCalls() const {
    Log local;
    for (const std::string& line : modal.log) {
      if (line.rfind("shell https://", 0) != 0) local.push_back(line);
    }
    return local;
  }
  ModalRecorder modal;
};

TEST_F(HelpLaunch, OnlineHelpComesFirstUnderTheOnlinePageName) {
  modal.browserPresent = true;
  HelpPathSetting path(nullptr);  // online help needs no local setting
  EXPECT_EQ(0, ovl::ui::LaunchHelp(kFilter, 0));
  // Characters that cannot stand in an address are dropped, the others made safe.
  EXPECT_EQ(0, ovl::ui::LaunchHelp("My \"Big\" Filter [v1.5] a/b:c<d>e?f\\g|h*i-j", 0));
  ASSERT_EQ(2u, modal.log.size());
  const std::string filters = "shell " OVL_ONLINE_HELP_SITE "/help/sdk/v23/multimedia/filters/";
  EXPECT_EQ(filters + "TERN-Video-Overlay-Filter-2-0.html", modal.log[0]);
  EXPECT_EQ(filters + "My-Big-Filter-(v1-5)-abcdefghij.html", modal.log[1]);
}

TEST_F(HelpLaunch, ArgumentsThatNameNoFilter) {
  HelpPathSetting path("C:\\");
  EXPECT_EQ(-3, ovl::ui::LaunchHelp(nullptr, 0));
  EXPECT_EQ(-3, ovl::ui::LaunchHelp("", 0));
  EXPECT_EQ(-2, ovl::ui::LaunchHelp(std::string(261, 'x').c_str(), 0));  // not even tried online
  EXPECT_EQ(Log{}, modal.log);
  EXPECT_EQ(-1, ovl::ui::LaunchHelp(std::string(260, 'x').c_str(), 0)) << "260 characters are still a name";
  EXPECT_EQ(1u, modal.Lines("shell https://").size());
}

// "%" stands for the scratch folder.
std::string InFolder(std::string text, const std::string& folder) {
  for (size_t at = text.find('%'); at != std::string::npos; at = text.find('%', at + folder.size())) {
    text.replace(at, 1, folder);
  }
  return text;
}

TEST_F(HelpLaunch, TheFirstHelpFoundAlongThePathOpens) {
  const std::string chm = std::string("html help %\\d\\") + kChmTopic;
  const struct {
    const char* what;
    std::vector<std::string> files;
    const char* setting;
    std::string opened;
  } cases[] = {
      // The first directory has no help; the second, named without a trailing
      // backslash and followed by the separator, has page B only.
      {"two directories, trailing separator", {"first\\other.txt", std::string("second\\") + kPageB},
       "%\\first\\;%\\second;", std::string("shell %\\second\\") + kPageB},
      {"help file in the first directory beats pages in the second",
       {"one\\rkfilters.chm", std::string("two\\") + kPageA}, "%\\one;%\\two",
       std::string("html help %\\one\\") + kChmTopic},
      {"within a directory page A before page B", {std::string("d\\") + kPageA, std::string("d\\") + kPageB}, "%\\d\\",
       std::string("shell %\\d\\") + kPageA},
      {"page B alone", {std::string("d\\") + kPageB}, "%\\d", std::string("shell %\\d\\") + kPageB},
      {"the help file before the pages",
       {"d\\rkfilters.chm", std::string("d\\") + kPageA, std::string("d\\") + kPageB}, "%\\d", chm},
      {"the page shipped beside the module is the last resort", {"d\\other.txt"}, "%\\d",
       "shell " + ProgramFolder() + kPageA},
  };
  for (const auto& test : cases) {
    ScratchFolder folder("ovl-help");
    for (const std::string& file : test.files) folder.Write(file);
    HelpPathSetting path(InFolder(test.setting, folder.Path()).c_str());
    modal.log.clear();
    EXPECT_EQ(0, ovl::ui::LaunchHelp(kFilter, 0)) << test.what;
    EXPECT_EQ(Log{InFolder(test.opened, folder.Path())}, LocalCalls()) << test.what;
  }
  EXPECT_NE(std::string::npos, ReadWholeFile(ProgramFolder() + kPageA).find("<title>TERN Video Overlay Filter (2.0)"));
}

TEST_F(HelpLaunch, NothingFoundSaysWhatWasLookedFor) {
  {  // Without the help-path setting only the short message appears.
    HelpPathSetting missingValue(nullptr);
    EXPECT_EQ(-3, ovl::ui::LaunchHelp(kFilter, 0));
    ovl::ui::OpenHelp(kFilter);
  }
  EXPECT_EQ(-3, ovl::ui::LaunchHelp(kFilter, 0));  // no key at all
  ASSERT_EQ(3u, modal.Lines("shell https://").size());
  EXPECT_EQ(Log{std::string("box ") + kFilter + ": Can't find help file."}, modal.Lines("box"));

  // With a help path, the message names the files looked for.
  modal.log.clear();
  constexpr char kUnknownFilter[] = "TERN Unknown Filter (9.9)";  // no page beside the module
  ScratchFolder folder("ovl-help");
  folder.Write("empty\\other.txt");
  HelpPathSetting path((folder.Path() + "\\empty").c_str());
  EXPECT_EQ(-1, ovl::ui::LaunchHelp(kUnknownFilter, 0));
  ovl::ui::OpenHelp(kUnknownFilter);
  const std::string detail = std::string("box ") + kUnknownFilter +
                             ": The following help files were not found in the help path(s): \n\n"
                             "- ...\\Filters\\TERNUnknownFilter9.9.htm\n"
                             "- ...\\Filters\\TERNUnknownFilter9.9_UI.htm\n"
                             "- ...\\rkfilters.chm\n";
  EXPECT_EQ((Log{detail, detail, std::string("box ") + kUnknownFilter + ": Can't find help file."}),
            modal.Lines("box"));
}

}  // namespace
}  // namespace ovl::testing
