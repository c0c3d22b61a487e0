// The web pages, mail links and the help file the program hands to the
// desktop's opener. Composing and opening are separate so the window code
// can show an address and open it from the same text.
//
// The site is "http://www.ferroval.example" unless the environment variable
// QUILLMARK_SITE names another one (for example http://127.0.0.1:8080); it
// is read at each call and carries no trailing "/".
#pragma once

#include <string>
#include <string_view>

namespace qm {

inline constexpr std::string_view kSupportAddress = "support@ferroval.example";

std::string productSite();

// site + "/": the About window's web-site link.
std::string webSiteUrl(std::string_view site);
std::string homePageUrl(std::string_view site);
std::string uninstallPageUrl(std::string_view site);
std::string updateInformationUrl(std::string_view site);
// from and to are cleaned extensions (see converter_search.h).
std::string converterSearchUrl(std::string_view site, std::string_view from, std::string_view to);
// The subject is the title line plus " Feedback", deliberately not encoded.
std::string feedbackMailLink();
std::string supportMailLink();
// The HTML user manual: html/index.html beside the program in a build
// folder, else share/doc/quillmark/html/index.html of the prefix the
// program is installed under (<prefix>/lib/quillmark/). The installed
// place when neither exists. `programFolder` ends with "/".
std::string helpFilePath(const std::string& programFolder);

// Each hands its target to the opener; nothing is reported when it fails.
void openWebSite();
void openHomePage();
void openUninstallPage();
void openFeedbackMail();
void openSupportMail();
void openHelpFile(const std::string& programFolder);

}  // namespace qm
