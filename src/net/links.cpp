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

std::string helpFilePath() {
  std::error_code error;
  const std::filesystem::path folder = std::filesystem::current_path(error);
  // Without a readable working folder the bare name still lets the opener
  // resolve it the same way.
  if (error) return "quillmark.chm";
  return (folder / "quillmark.chm").string();
}

void openWebSite() { platform::shellOpen(webSiteUrl(productSite())); }
void openHomePage() { platform::shellOpen(homePageUrl(productSite())); }
void openUninstallPage() { platform::shellOpen(uninstallPageUrl(productSite())); }
void openFeedbackMail() { platform::shellOpen(feedbackMailLink()); }
void openSupportMail() { platform::shellOpen(supportMailLink()); }
void openHelpFile() { platform::shellOpen(helpFilePath()); }

}  // namespace qm
