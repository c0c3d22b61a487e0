#include <gtest/gtest.h>

#include <set>

#include "formats/input_formats.h"

namespace qm {
namespace {

TEST(InputFormats, CatalogueAndReadableList) {
  auto catalogue = inputExtensionCatalogue();
  EXPECT_EQ(catalogue.size(), 80u);
  std::set<std::string_view> unique;
  for (const auto& entry : catalogue) unique.insert(entry.extension);
  EXPECT_EQ(unique.size(), 80u) << "an extension is listed twice";

  ASSERT_EQ(inputTypeList().size(), 2u);
  EXPECT_EQ(inputTypeList().front(), "psd");
  EXPECT_EQ(deriveReadableExtensions(inputTypeList()), (std::vector<std::string>{"psd", "psb"}));

  // Several families at once: every member, in catalogue order, no empty entry.
  const std::string_view families[] = {"tiff", "jpg"};
  EXPECT_EQ(deriveReadableExtensions(families), (std::vector<std::string>{"tiff", "tif", "jpg", "jpeg", "jpe", "jif"}));
  EXPECT_TRUE(deriveReadableExtensions({}).empty());
}

TEST(InputFormats, IsReadable) {
  auto readable = deriveReadableExtensions(inputTypeList());
  for (const char* yes : {"image.PSD", "image.Psd", "/in/image.psd", "/in/a.b/x.psd", "large.psb", "LARGE.PSB"})
    EXPECT_TRUE(isReadable(yes, readable)) << yes;
  for (const char* no : {"image.psd.bak", "image", "photo.jpg", "shot.cr2", "/in/x.psd/", "/in.psd/x"})
    EXPECT_FALSE(isReadable(no, readable)) << no;
}

TEST(InputFormats, FileFilter) {
  auto readable = deriveReadableExtensions(inputTypeList());
  EXPECT_EQ(inputFileFilter(readable, "All Supported Files", "All Files"),
            "All Supported Files|*.psd;*.psb|Adobe Photoshop File|*.psd|Adobe Photoshop Large Document|*.psb|All "
            "Files (*.*)|*.*");

  // Members sharing a description join one group, the later pattern first.
  const std::string_view families[] = {"tiff"};
  EXPECT_EQ(inputFileFilter(deriveReadableExtensions(families), "All", "Any"),
            "All|*.tiff;*.tif|Tagged Image File Format|*.tif;*.tiff|Any (*.*)|*.*");
}

}  // namespace
}  // namespace qm
