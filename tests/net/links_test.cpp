#include "net/links.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "net/converter_search.h"
#include "opener_recorder.h"

namespace qm {
namespace {

using Calls = std::vector<std::vector<std::string>>;

TEST(Links, OpensEachTargetAsOneArgument) {
  struct Case {
    const char* name;
    std::function<void()> open;
    std::string expected;
  };
  const Case cases[] = {
      {"home page", openHomePage, "http://127.0.0.1:8080/quillmark/"},
      {"web site", openWebSite, "http://127.0.0.1:8080/"},
      {"uninstall page", openUninstallPage, "http://127.0.0.1:8080/quillmark/uninstall.html"},
      {"feedback mail", openFeedbackMail, "mailto:support@ferroval.example?subject=Quillmark 2.5 Feedback"},
      {"support mail", openSupportMail, "mailto:support@ferroval.example"},
  };
  test::ScopedEnvironment site("QUILLMARK_SITE", "http://127.0.0.1:8080/");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::OpenerRecorder opener;
    c.open();
    EXPECT_EQ(opener.calls(), Calls{{c.expected}});
  }
}

TEST(Links, DefaultSiteAndFixedPaths) {
  test::ScopedEnvironment site("QUILLMARK_SITE", std::nullopt);
  EXPECT_EQ(productSite(), "http://www.ferroval.example");
  EXPECT_EQ(homePageUrl(productSite()), "http://www.ferroval.example/quillmark/");
  EXPECT_EQ(updateInformationUrl(productSite()), "http://www.ferroval.example/files/quillmark.dat");
  test::ScopedEnvironment empty("QUILLMARK_SITE", "");
  EXPECT_EQ(productSite(), "http://www.ferroval.example");
}

TEST(Links, HelpOpensTheHtmlManualBesideTheProgramOrUnderItsPrefix) {
  struct Case {
    std::string name;
    std::vector<std::string> manuals;  // files made below the scratch folder
    std::string expected;              // below the scratch folder
  };
  const std::vector<Case> cases = {
      {"build folder", {"build/html/index.html"}, "build/html/index.html"},
      {"installed", {"usr/share/doc/quillmark/html/index.html"}, "usr/share/doc/quillmark/html/index.html"},
      {"both: the build's own first",
       {"usr/lib/quillmark/html/index.html", "usr/share/doc/quillmark/html/index.html"},
       "usr/lib/quillmark/html/index.html"},
      {"neither: the installed place", {}, "usr/share/doc/quillmark/html/index.html"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::OpenerRecorder opener;
    // A folder name a shell would act on: it must reach the opener untouched.
    const std::string marker = opener.scratch() / "ran";
    const std::string folder = "p; $(touch " + marker + ") `touch " + marker + "`";
    const std::string root = opener.scratch().makeFolder(folder);
    for (const std::string& manual : c.manuals) opener.scratch().write(folder + "/" + manual, "<html></html>");
    const std::string program = c.name == "build folder" ? root + "build/" : root + "usr/lib/quillmark/";
    openHelpFile(program);
    EXPECT_EQ(opener.calls(), Calls{{root + c.expected}});
    EXPECT_FALSE(std::filesystem::exists(marker));
  }
}

TEST(Links, ShellCharactersInALinkArriveAsOneArgumentAndRunNothing) {
  test::OpenerRecorder opener;
  const std::string marker = opener.scratch() / "ran";
  const std::string site =
      "http://127.0.0.1/$(touch " + marker + ");`touch " + marker + "` | touch " + marker + " & 'quoted' \"double\"";
  test::ScopedEnvironment siteOverride("QUILLMARK_SITE", site);
  openHomePage();
  EXPECT_EQ(opener.calls(), Calls{{site + "/quillmark/"}});
  EXPECT_FALSE(std::filesystem::exists(marker));
}

TEST(Links, AnOpenerThatKeepsRunningDoesNotHoldTheProgram) {
  // Without a desktop, xdg-open may run the browser itself and end only
  // with it.
  test::TempFolder folder;
  const std::string opener =
      folder.write("bin/xdg-open", "#!/bin/sh\necho \"$1\" > '" + folder / "target" + "'\nexec sleep 6\n");
  std::filesystem::permissions(opener, std::filesystem::perms::owner_all);
  test::ScopedEnvironment path("PATH", folder.str() + "bin:" + (getenv("PATH") ? getenv("PATH") : "/usr/bin:/bin"));
  test::ScopedEnvironment site("QUILLMARK_SITE", "http://127.0.0.1:8080");
  const auto start = std::chrono::steady_clock::now();
  openHomePage();
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(1500));
  EXPECT_LT(waited, std::chrono::seconds(4));
  EXPECT_EQ(test::readFileBytes(folder / "target"), "http://127.0.0.1:8080/quillmark/\n");
}

TEST(ConverterSearch, CleansCutsAndOpensTheSearchPage) {
  struct Case {
    std::string from;
    std::string to;
    ConverterSearchOutcome outcome;
    std::string expectedFrom;
    std::string expectedTo;
  };
  const Case cases[] = {
      {"P.S.D", "jpeg!", ConverterSearchOutcome::Opened, "psd", "jpeg"},
      {"abcdefghijklmn", "png", ConverterSearchOutcome::Opened, "abcdefghijkl", "png"},
      {"  TIFF  ", "Jp2", ConverterSearchOutcome::Opened, "tiff", "jp2"},
      // Twelve characters, not twelve bytes: eleven two-byte letters and a "g".
      {"\u00e4\u00f6\u00fc\u00c4\u00d6\u00dc\u00e9\u00e8\u00ea\u00eb\u00f1gif", "png", ConverterSearchOutcome::Opened,
       "g", "png"},
      {"$(rm -rf ~)", "`ls`;", ConverterSearchOutcome::Opened, "rmrf", "ls"},
      {".,;:!?", "png", ConverterSearchOutcome::EmptyExtensions, "", "png"},
      {"psd", "", ConverterSearchOutcome::EmptyExtensions, "psd", ""},
      // The letters lie beyond the first twelve characters.
      {"............abc", "png", ConverterSearchOutcome::EmptyExtensions, "", "png"},
  };
  test::ScopedEnvironment site("QUILLMARK_SITE", "http://127.0.0.1:8080");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.from + " -> " + c.to);
    test::OpenerRecorder opener;
    const ConverterSearch search = prepareConverterSearch(c.from, c.to);
    EXPECT_EQ(search.from, c.expectedFrom);
    EXPECT_EQ(search.to, c.expectedTo);
    EXPECT_EQ(searchConverter(search), c.outcome);
    const Calls expected = c.outcome == ConverterSearchOutcome::Opened
                               ? Calls{{"http://127.0.0.1:8080/find/" + c.expectedFrom + "-" + c.expectedTo + "/"}}
                               : Calls{};
    EXPECT_EQ(opener.calls(), expected);
  }
  EXPECT_EQ(cleanExtension("a-B_9.z\xc3\xa4"), "aB9z");
}

}  // namespace
}  // namespace qm
