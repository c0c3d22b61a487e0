#include "engine/naming.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <ctime>

#include "platform/clock.h"
#include "platform/paths.h"
#include "support/temp_folder.h"

namespace qm {
namespace {

NamingValues valuesFor(const std::string& inputPath, const std::string& extension) {
  NamingValues values;
  values.inputPath = inputPath;
  values.outputExtension = extension;
  values.bitDepth = 24;
  values.width = 640;
  values.height = 480;
  values.randomNumber = 42;
  values.sequenceNumber = 1;
  return values;
}

TEST(OutputNaming, MasksExpandInTableOrderWithLowerCasedLiterals) {
  struct Case {
    const char* mask;
    const char* input;
    const char* extension;
    std::int32_t sequence;
    const char* expected;
  };
  const Case cases[] = {
      {"Photo_%n%_%FILENAME%.%EXT[U]%", "/in/Holiday.psd", "jpg", 1, "photo_00001_Holiday.JPG"},
      {"%filename%.%ext%", "/in/Report.2018.psd", "png", 1, "Report.2018.png"},
      {"", "/in/Report.2018.psd", "png", 1, "Report.2018.png"},
      {"%FILENAME%", "/in/x.psd", "png", 1, "x"},
      {"COPY of %filename%", "/in/Big Shot.psd", "bmp", 1, "copy of Big Shot"},
      {"%filename[u]%-%filename[l]%-%filename[t]%", "/in/hoLiDay.psd", "gif", 1, "HOLIDAY-holiday-Holiday"},
      // Every letter changes case, not only A to Z, in the mask too.
      {"%filename[u]%-%filename[t]%", "/in/\xC3\xA4rger.psd", "png", 1, "\xC3\x84RGER-\xC3\x84rger"},
      {"\xC3\x9C"
       "ber %filename[l]%",
       "/in/\xC3\x89T\xC3\x89.psd", "png", 1,
       "\xC3\xBC"
       "ber \xC3\xA9t\xC3\xA9"},
      {"%ext%-%ext[u]%-%ext[t]%", "/in/x.psd", "tiff", 1, "tiff-TIFF-Tiff"},
      {"%bpp%_%width%x%height%", "/in/x.psd", "png", 1, "24_640x480"},
      {"%rnd%-%n%", "/in/x.psd", "png", 123456, "00042-12345"},
      {"%n%%n%", "/in/x.psd", "png", 7, "0000700007"},
      {"%filename%.%ext%", "/in/README", "pcx", 1, "README.pcx"},
      {"%filename%", "/in/.hidden", "png", 1, ""},
      // A value holding a later placeholder is expanded too.
      {"%filename%.%ext%", "/in/a%EXT%b.psd", "jpg", 1, "ajpgb.jpg"},
      {"sub/%filename%.%ext%", "/in/x.psd", "png", 1, "sub/x.png"},
      {"%unknown%_%filename%", "/in/x.psd", "png", 1, "%unknown%_x"},
  };
  for (const Case& c : cases) {
    NamingValues values = valuesFor(c.input, c.extension);
    values.sequenceNumber = c.sequence;
    EXPECT_EQ(makeFileName(c.mask, values), c.expected) << "mask " << c.mask << " on " << c.input;
  }
}

TEST(OutputNaming, PlaceholdersMatchWithoutRegardToCaseAndValuesAreNotRescanned) {
  NamingValues values = valuesFor("/in/x.psd", "jpg");
  EXPECT_EQ(expandPlaceholder("A%EXT%b%Ext%c%ext%", "%ext%", values), "Ajpgbjpgcjpg");
  EXPECT_EQ(placeholderValue("%N%", values), "00001");
  // The value "%n%" inserted for %filename% is left for the %n% step, not
  // expanded again by the %filename% step itself.
  values.inputPath = "/in/%filename%.psd";
  EXPECT_EQ(expandPlaceholder("[%filename%]", "%filename%", values), "[%filename%]");
}

TEST(OutputNaming, DateAndTimeComeFromTheLocalClock) {
  NamingValues values = valuesFor("/in/x.psd", "png");
  // The fields are read one by one; a retry rules out a rollover of the
  // clock between two of them.
  bool matched = false;
  std::string name;
  for (int attempt = 0; attempt < 3 && !matched; ++attempt) {
    std::time_t before = std::time(nullptr);
    name = makeFileName("%yyyy%-%mm%-%dd% %hh%:%ii%:%ss%", values);
    std::time_t after = std::time(nullptr);
    for (std::time_t t = before; t <= after && !matched; ++t) {
      std::tm local{};
      localtime_r(&t, &local);
      char text[64];
      std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
      matched = name == text;
    }
  }
  EXPECT_TRUE(matched) << name;
}

TEST(OutputNaming, OutputPathKeepsTheSubFolderOnlyWhenAsked) {
  Settings settings;
  settings.filenameMask = "%filename%.%ext%";
  NamingValues values = valuesFor("/in/a/b/x.psd", "png");
  settings.keepSubfolders = 1;
  EXPECT_EQ(makeOutputPath(settings, "/out/", "a/b/", values), "/out/a/b/x.png");
  settings.keepSubfolders = 0;
  EXPECT_EQ(makeOutputPath(settings, "/out/", "a/b/", values), "/out/x.png");
  settings.keepSubfolders = 1;
  EXPECT_EQ(makeOutputPath(settings, "/out/", "", values), "/out/x.png");
}

TEST(OutputNaming, SubFoldersAreCreatedLevelByLevel) {
  test::TempFolder folder;
  createSubFolders(folder.str(), "a/b/c/");
  EXPECT_TRUE(platform::isFolder(folder / "a/b/c"));
  // Existing levels are left alone, a missing one below them is added.
  createSubFolders(folder.str(), "a/b/d/");
  EXPECT_TRUE(platform::isFolder(folder / "a/b/d"));
  EXPECT_TRUE(platform::isFolder(folder / "a/b/c"));
  // A file in the way stops the creation without failing loudly.
  folder.write("blocked", "x");
  createSubFolders(folder.str(), "blocked/inner/");
  EXPECT_FALSE(platform::isFolder(folder / "blocked/inner"));
}

struct FileTimes {
  std::time_t modified = 0;
  std::time_t accessed = 0;
};

FileTimes timesOf(const std::string& path) {
  struct stat st {};
  stat(path.c_str(), &st);
  return {st.st_mtim.tv_sec, st.st_atim.tv_sec};
}

// A zone with an offset and daylight saving, so that a local date-time
// mistaken for a UTC one shows.
class ZoneGuard {
 public:
  explicit ZoneGuard(const char* zone) {
    if (const char* old = std::getenv("TZ")) saved_ = old, hadZone_ = true;
    setenv("TZ", zone, 1);
    tzset();
  }
  ZoneGuard(const ZoneGuard&) = delete;
  ZoneGuard& operator=(const ZoneGuard&) = delete;
  ~ZoneGuard() {
    if (hadZone_)
      setenv("TZ", saved_.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }

 private:
  std::string saved_;
  bool hadZone_ = false;
};

TEST(OutputNaming, TimestampsSetOnlyTheModificationTime) {
  ZoneGuard zone("Europe/Berlin");
  test::TempFolder folder;
  const std::string input = folder.write("in.psd", "input");
  const std::string output = folder.write("out.png", "output");
  const std::time_t original = 1234567890;  // 2009-02-13 23:31:30 UTC
  ASSERT_TRUE(platform::setModificationTime(input, original));
  const FileTimes written = timesOf(output);

  Settings settings;
  settings.fileTimestamp = 0;
  applyFileTimestamp(settings, input, output);
  EXPECT_EQ(timesOf(output).modified, written.modified);

  settings.fileTimestamp = 1;
  applyFileTimestamp(settings, input, output);
  EXPECT_EQ(timesOf(output).modified, original);
  EXPECT_EQ(timesOf(output).accessed, written.accessed);

  // A custom stamp is a local date-time; the file gets the same moment.
  const std::time_t custom = 1500000000;  // 2017-07-14, summer time in Berlin
  settings.fileTimestamp = 2;
  settings.customTimestamp = platform::utcToLocalDate(custom);
  applyFileTimestamp(settings, input, output);
  EXPECT_EQ(timesOf(output).modified, custom);
  EXPECT_EQ(timesOf(output).accessed, written.accessed);
}

}  // namespace
}  // namespace qm
