// Every document of the real Photoshop corpus through the job, to each of
// the 23 formats at Auto and at every permitted depth, and each output read
// back by FreeImage and by ImageMagick. One test per format, so the formats
// run side by side.
//
// Each document is converted in a child process: a document that crashes
// the Photoshop reader (or hangs it) is listed as known-crashing instead of
// taking the test run down with it. Combinations a library writer refuses
// must fail cleanly (no output, no temporary file); they are listed.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <sstream>

#include "engine/job.h"
#include "engine/loaded_picture.h"
#include "engine/steps/steps.h"
#include "formats/output_formats.h"
#include "platform/paths.h"
#include "settings/settings.h"
#include "support/image_readback.h"
#include "support/temp_folder.h"

namespace qm::test {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> corpusDocuments() {
  std::vector<std::string> documents;
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(QM_CORPUS_DIR, error); !error && it != fs::end(it);
       it.increment(error)) {
    if (!it->is_regular_file()) continue;
    std::string extension = it->path().extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(), ::tolower);
    if (extension == ".psd") documents.push_back(it->path().string());
  }
  std::sort(documents.begin(), documents.end());
  return documents;
}

std::string shortName(const std::string& path) {
  const std::string root = platform::withTrailingSlash(QM_CORPUS_DIR);
  return path.rfind(root, 0) == 0 ? path.substr(root.size()) : path;
}

struct Conversion {
  int setting = 0;  // the BPP setting; 0 = Auto
  bool written = false;
  int bitDepth = 0;
  int width = 0;
  int height = 0;
  std::string outputPath;
  std::string libraryMessage;  // the job's reason for a file not written
};

// The number of colours an XPM file declares in its values line.
int xpmColours(const std::string& path) {
  const std::string text = readFileBytes(path);
  auto quote = text.find('"');
  if (quote == std::string::npos) return -1;
  std::istringstream values(text.substr(quote + 1));
  int width = 0, height = 0, colours = -1;
  values >> width >> height >> colours;
  return colours;
}

// The depth FreeImage's readers report for a file written at `depth`. They
// give back what the writer was handed except where a writer or reader
// picks the smallest fitting form.
int readBackDepth(std::string_view extension, const Conversion& c, bool transparentAtWrite) {
  // PNG and WebP store a 32-bit image without any transparency as RGB.
  if ((extension == "png" || extension == "webp") && c.bitDepth == 32) return transparentAtWrite ? 32 : 24;
  // XPM files of up to 256 colours are read as palettised images.
  if (extension == "xpm") return xpmColours(c.outputPath) <= 256 ? 8 : 24;
  return c.bitDepth;
}

// The depth per channel ImageMagick reports, where it says the same thing
// as the bits per pixel FreeImage wrote; elsewhere ImageMagick counts in its
// own terms (5 for 16-bit targa, 16 for jng and for single-bit wbmp, ...)
// and only the size is compared.
std::optional<int> identifyDepth(std::string_view extension, int depth) {
  if (depth == 48) return 16;
  if ((depth == 24 || depth == 32) && extension != "jng") return 8;
  if (depth == 8 && extension != "ico") return 8;
  if (depth == 1 && (extension == "bmp" || extension == "pbm" || extension == "tiff")) return 1;
  return std::nullopt;
}

// Outputs that a reader other than the writer's own library cannot read,
// for reasons that lie in the libraries; they are listed, not failed.
struct ReaderLimit {
  const char* reader;
  std::string_view extension;
  int depth;  // 0: any depth
  bool (*applies)(const Conversion&);
  const char* why;
};

constexpr ReaderLimit kReaderLimits[] = {
    {"FreeImage", "pcx", 0, [](const Conversion& c) { return c.width == 1; },
     "FreeImage's PCX reader rejects DevIL's files one pixel wide"},
    {"FreeImage", "dds", 0, [](const Conversion& c) { return c.width < 4 || c.height < 4; },
     "FreeImage's DDS reader rejects compressed surfaces smaller than one 4 x 4 block"},
    {"identify", "ico", 16, [](const Conversion&) { return true; },
     "FreeImage's 16-bit icons announce bit fields they do not hold; ImageMagick rejects them"},
    {"FreeImage", "jxr", 0, [](const Conversion&) { return true; },
     "FreeImage's JPEG XR reader is built with another size of jxrlib's GUID type and reads no file"},
    {"identify", "jxr", 0, [](const Conversion& c) { return c.bitDepth != 24; },
     "ImageMagick reads JPEG XR only through JxrDecApp's 24-bit output"},
};

// The size FreeImage reads back. Its DDS reader keeps only whole 4 x 4
// blocks of a compressed surface; identify checks the real size.
int freeImageSize(std::string_view extension, int size) { return extension == "dds" ? size / 4 * 4 : size; }

const ReaderLimit* readerLimit(const char* reader, std::string_view extension, const Conversion& c) {
  for (const ReaderLimit& limit : kReaderLimits)
    if (std::string_view(limit.reader) == reader && limit.extension == extension &&
        (limit.depth == 0 || limit.depth == c.bitDepth) && limit.applies(c))
      return &limit;
  return nullptr;
}

struct DocumentRun {
  bool loaded = false;    // the child got past the reader
  bool readable = false;  // and the reader gave an image
  bool finished = false;  // the child ran every conversion
  int sourceBitDepth = 0;
  bool transparent = false;  // as loaded
  std::vector<Conversion> conversions;
  std::string childError;  // how the child ended, when not cleanly
};

// Converts one document in a child process; its results come back over a
// pipe, one line each.
DocumentRun convertInChild(const std::string& document, const std::string& extension, const std::vector<int>& settings,
                           const std::string& outputFolder) {
  DocumentRun run;
  int channel[2];
  if (pipe(channel) != 0) {
    run.childError = "no pipe";
    return run;
  }
  std::fflush(nullptr);
  pid_t child = fork();
  if (child < 0) {
    close(channel[0]);
    close(channel[1]);
    run.childError = "no fork";
    return run;
  }
  if (child == 0) {
    close(channel[0]);
    alarm(300);  // a reader that never returns counts as crashing
    std::FILE* out = fdopen(channel[1], "w");
    // Read once and written at every depth: a document whose structure is
    // broken is not handed to the reader.
    JobInput input;
    input.inputPath = document;
    input.outputFolder = outputFolder;
    const LoadedPicture loaded = loadPicture(input);
    const Bitmap& probe = loaded.image;
    std::fprintf(out, "L %d %u %d\n", probe ? 1 : 0, probe.bpp(),
                 probe && FreeImage_IsTransparent(probe.get()) ? 1 : 0);
    std::fflush(out);
    Settings base;
    resetSettings(base, SettingsForm::CommandLine, DesktopSize{});
    for (int setting : settings) {
      Settings s = base;
      s.filenameMask = "d" + std::to_string(setting) + ".%ext%";
      if (std::int32_t* bpp = bppField(s, extension)) *bpp = setting;
      const RunFormat format = makeRunFormat(s, extension);
      JobResult result = commitOutput(s, format, input, renderPicture(loaded.copy(), s, format, input, nullptr));
      // The job's reason, which quotes the library's own words.
      if (!result.failure.empty()) std::fprintf(out, "M %s\n", result.failure.c_str());
      std::fprintf(out, "R %d %d %d %d %d %s\n", setting, result.written ? 1 : 0, result.bitDepth, result.width,
                   result.height, result.outputPath.c_str());
      std::fflush(out);
    }
    std::fprintf(out, "D\n");
    std::fclose(out);
    _exit(0);
  }
  close(channel[1]);
  std::string text;
  char buffer[4096];
  ssize_t n;
  while ((n = read(channel[0], buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<std::size_t>(n));
  close(channel[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (WIFSIGNALED(status))
    run.childError = "signal " + std::to_string(WTERMSIG(status));
  else if (WIFEXITED(status) && WEXITSTATUS(status) != 0)
    run.childError = "exit " + std::to_string(WEXITSTATUS(status));

  std::istringstream lines(text);
  std::string line;
  std::string lastMessage;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string kind;
    fields >> kind;
    if (kind == "L") {
      int readable = 0, transparent = 0;
      fields >> readable >> run.sourceBitDepth >> transparent;
      run.transparent = transparent != 0;
      run.loaded = true;
      run.readable = readable != 0;
    } else if (kind == "R") {
      Conversion c;
      int written = 0;
      fields >> c.setting >> written >> c.bitDepth >> c.width >> c.height;
      c.written = written != 0;
      std::getline(fields >> std::ws, c.outputPath);
      c.libraryMessage = std::move(lastMessage);
      lastMessage.clear();
      run.conversions.push_back(c);
    } else if (kind == "M") {
      std::getline(fields >> std::ws, lastMessage);
    } else if (kind == "D") {
      run.finished = true;
    }
  }
  return run;
}

class Corpus : public ::testing::TestWithParam<std::string_view> {};

void printList(const std::string& extension, const std::string& what, const std::set<std::string>& names) {
  std::printf("[ corpus   ] %s: %s, %zu document(s):", extension.c_str(), what.c_str(), names.size());
  std::size_t shown = 0;
  for (const std::string& name : names) {
    if (shown++ == 6) {
      std::printf(" ...");
      break;
    }
    std::printf(" %s", name.c_str());
  }
  std::printf("\n");
}

TEST_P(Corpus, EveryDocumentConvertsAtEveryDepth) {
  if (!fs::is_directory(QM_CORPUS_DIR)) GTEST_SKIP() << "no Photoshop corpus at " << QM_CORPUS_DIR;
  const std::string extension(GetParam());
  const std::vector<std::string> documents = corpusDocuments();
  ASSERT_FALSE(documents.empty()) << "the corpus folder holds no documents";
  // The children inherit DevIL as the program has it after start-up.
  initialiseDevil();

  std::vector<int> settings{0};
  for (int depth : permittedBitDepths(extension)) settings.push_back(depth);
  const bool keepsTransparency = findOutputFormat(extension)->keepsTransparency;

  TempFolder folder;
  std::set<std::string> crashing;    // the reader itself died or hung
  std::set<std::string> unreadable;  // the reader gave no image
  struct Refusals {
    std::set<int> depths;
    bool atAuto = false;
    std::set<std::string> documents;
  };
  std::map<std::string, Refusals> refused;               // by the library's message, numbers masked
  std::map<std::string, std::set<std::string>> limited;  // reader limits met -> documents
  struct Pending {
    Conversion conversion;
    std::string document;
  };
  std::vector<Pending> toIdentify;
  int written = 0;

  auto identifyPending = [&] {
    std::vector<std::string> paths;
    for (const Pending& p : toIdentify) paths.push_back(p.conversion.outputPath);
    auto seen = identifySizes(paths);
    for (const Pending& p : toIdentify) {
      const Conversion& c = p.conversion;
      SCOPED_TRACE(p.document + " at " + std::to_string(c.bitDepth));
      auto it = seen.find(c.outputPath);
      if (it == seen.end()) {
        if (const ReaderLimit* limit = readerLimit("identify", extension, c))
          limited[limit->why].insert(p.document);
        else
          ADD_FAILURE() << "identify cannot read " << c.outputPath;
        continue;
      }
      EXPECT_EQ(it->second.width, c.width);
      EXPECT_EQ(it->second.height, c.height);
      if (auto depth = identifyDepth(extension, c.bitDepth)) {
        EXPECT_EQ(it->second.depth, *depth);
      }
    }
    toIdentify.clear();
  };

  for (std::size_t index = 0; index < documents.size(); ++index) {
    const std::string& document = documents[index];
    const std::string name = shortName(document);
    SCOPED_TRACE(name);
    const std::string outputFolder = folder.makeFolder(std::to_string(index));
    DocumentRun run = convertInChild(document, extension, settings, outputFolder);
    if (!run.loaded) {
      crashing.insert(name + " (" + run.childError + ")");
      continue;
    }
    if (!run.readable) unreadable.insert(name);
    EXPECT_TRUE(run.finished) << "the child died converting (" << run.childError << ") after " << run.conversions.size()
                              << " conversions";
    // Documents of 16 bits or floats a sample keep their alpha too.
    const bool transparentAtWrite = run.transparent && keepsTransparency;

    for (const Conversion& c : run.conversions) {
      SCOPED_TRACE("BPP setting " + std::to_string(c.setting));
      if (!run.readable) {
        EXPECT_FALSE(c.written);
        continue;
      }
      if (!c.written) {
        std::string why = c.libraryMessage.empty() ? "no message" : c.libraryMessage;
        std::replace_if(why.begin(), why.end(), ::isdigit, '#');
        why.erase(std::unique(why.begin(), why.end(), [](char a, char b) { return a == '#' && b == '#'; }), why.end());
        Refusals& r = refused[why];
        if (c.setting == 0)
          r.atAuto = true;
        else
          r.depths.insert(c.bitDepth);
        r.documents.insert(name);
        EXPECT_FALSE(platform::pathExists(c.outputPath)) << "a refused write left " << c.outputPath;
        continue;
      }
      ++written;
      Bitmap output = readBack(c.outputPath);
      if (!output) {
        if (const ReaderLimit* limit = readerLimit("FreeImage", extension, c))
          limited[limit->why].insert(name);
        else
          ADD_FAILURE() << "FreeImage cannot read back " << c.outputPath;
      } else {
        EXPECT_EQ(static_cast<int>(output.width()), freeImageSize(extension, c.width));
        EXPECT_EQ(static_cast<int>(output.height()), freeImageSize(extension, c.height));
        EXPECT_EQ(static_cast<int>(output.bpp()), readBackDepth(extension, c, transparentAtWrite))
            << "written at " << c.bitDepth;
      }
      // ImageMagick has no JPEG XR reader.
      if (extension != "jxr") toIdentify.push_back({c, name});
    }
    EXPECT_TRUE(noTemporaryFiles(outputFolder)) << "a temporary file was left in " << outputFolder;

    // ImageMagick reads in batches; the batch's files go right after.
    if (toIdentify.size() >= 400 || index + 1 == documents.size()) {
      identifyPending();
      for (std::size_t done = 0; done <= index; ++done) fs::remove_all(folder / std::to_string(done));
    }
  }

  std::printf("[ corpus   ] %s: %zu documents, %d outputs written and read back\n", extension.c_str(), documents.size(),
              written);
  if (!crashing.empty()) printList(extension, "known-crashing in the reader", crashing);
  if (!unreadable.empty()) printList(extension, "no image from the reader", unreadable);
  for (const auto& [why, r] : refused) {
    std::string depths;
    for (int depth : r.depths) depths += (depths.empty() ? "" : ",") + std::to_string(depth);
    if (r.atAuto) depths += depths.empty() ? "Auto" : " and Auto";
    printList(extension, "writer refuses at " + depths + " (\"" + why + "\")", r.documents);
  }
  for (const auto& [why, names] : limited) printList(extension, why, names);
}

INSTANTIATE_TEST_SUITE_P(Formats, Corpus, ::testing::ValuesIn(outputExtensions().begin(), outputExtensions().end()),
                         [](const ::testing::TestParamInfo<std::string_view>& format) {
                           return std::string(format.param);
                         });

}  // namespace
}  // namespace qm::test
