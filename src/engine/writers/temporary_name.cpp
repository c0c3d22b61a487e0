// Make temporary output name. The letters come from the local date and a
// random draw so that two runs writing into one folder do not meet.
#include "engine/writers/writers.h"

#include <random>

#include "platform/clock.h"

namespace qm {

std::string makeTemporaryOutputName(const Settings& settings, const std::string& outputFolder,
                                    const std::string& relativeSubFolder, std::string_view extension) {
  std::string letters;
  for (char digit : std::to_string(platform::nowLocalDate()))
    letters += digit >= '0' && digit <= '9' ? static_cast<char>('a' + (digit - '0')) : 'z';
  std::random_device source;
  std::uniform_int_distribution<int> letter(0, 25);
  for (int i = 0; i < 5; ++i) letters += static_cast<char>('a' + letter(source));

  // Hidden, and ending in ".part", so that nothing that looks for images
  // (a file manager, a watcher of "*.png", an "ls *.jp2") takes an
  // unfinished file for an output.
  std::string path = outputFolder;
  if (settings.keepSubfolders) path += relativeSubFolder;
  path += ".quillmark";
  path += letters;
  path += '.';
  path += extension;
  path += ".part";
  return path;
}

}  // namespace qm
