// Every address is built from the one site text so that QUILLMARK_SITE
// moves the update check and all links together.
#include "net/links.h"

#include <cstdlib>
#include <filesystem>

#include "app/version.h"
#include "platform/shell.h"

namespace qm {

std::string productSite() {
  std::string site;
  if (const char* replaced = std::getenv("QUILLMARK_SITE"); replaced && *replaced)
    site = replaced;
  else
    site = std::string("http://") + kWebSite;
  while (!site.empty() && site.back() == '/') site.pop_back();
  return site;
}

std::string webSiteUrl(std::string_view site) { return std::string(site) + "/"; }

std::string homePageUrl(std::string_view site) { return std::string(site) + "/quillmark/"; }

std::string uninstallPageUrl(std::string_view site) { return std::string(site) + "/quillmark/uninstall.html"; }

std::string updateInformationUrl(std::string_view site) { return std::string(site) + "/files/quillmark.dat"; }

std::string converterSearchUrl(std::string_view site, std::string_view from, std::string_view to) {
  return std::string(site) + "/find/" + std::string(from) + "-" + std::string(to) + "/";
}

std::string feedbackMailLink() { return supportMailLink() + "?subject=" + titleLine() + " Feedback"; }

std::string supportMailLink() { return "mailto:" + std::string(kSupportAddress); }

std::string helpFilePath(const std::string& programFolder) {
  const std::filesystem::path folder(programFolder);
  const std::filesystem::path beside = folder / "html" / "index.html";
  const std::filesystem::path installed =
      (folder / ".." / ".." / "share" / "doc" / "quillmark" / "html" / "index.html").lexically_normal();
  std::error_code error;
  if (std::filesystem::is_regular_file(beside, error)) return beside.string();
  return installed.string();
}

void openWebSite() { platform::shellOpen(webSiteUrl(productSite())); }
void openHomePage() { platform::shellOpen(homePageUrl(productSite())); }
void openUninstallPage() { platform::shellOpen(uninstallPageUrl(productSite())); }
void openFeedbackMail() { platform::shellOpen(feedbackMailLink()); }
void openSupportMail() { platform::shellOpen(supportMailLink()); }
void openHelpFile(const std::string& programFolder) { platform::shellOpen(helpFilePath(programFolder)); }

}  // namespace qm
