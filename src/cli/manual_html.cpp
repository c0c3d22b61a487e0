#include "cli/manual_html.h"

#include <vector>

#include "app/version.h"

namespace qm {

namespace {

std::string escaped(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '&': out += "&amp;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

// One line of roff text in HTML: the font changes the page uses (bold,
// italics, back to roman) and its few escapes.
std::string inlineHtml(std::string_view line) {
  std::string out;
  std::vector<const char*> open;  // closing tags, innermost last
  const auto closeAll = [&] {
    while (!open.empty()) {
      out += open.back();
      open.pop_back();
    }
  };
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] != '\\' || i + 1 >= line.size()) {
      out += escaped(line.substr(i, 1));
      continue;
    }
    const char next = line[++i];
    if (next == 'f' && i + 1 < line.size()) {
      const char font = line[++i];
      closeAll();
      if (font == 'B') {
        out += "<b>";
        open.push_back("</b>");
      } else if (font == 'I') {
        out += "<i>";
        open.push_back("</i>");
      }
    } else if (next == '-') {
      out += '-';
    } else if (next == 'e') {
      out += '\\';
    } else if (next != '&') {
      out += escaped(std::string_view(&next, 1));
    }
  }
  closeAll();
  return out;
}

// A request's argument, without the quotes that keep its blanks together.
std::string argument(std::string_view line, std::size_t skip) {
  std::string_view rest = line.size() > skip ? line.substr(skip) : std::string_view();
  while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
  if (rest.size() >= 2 && rest.front() == '"' && rest.back() == '"') rest = rest.substr(1, rest.size() - 2);
  return std::string(rest);
}

std::string anchor(std::string_view title) {
  std::string id;
  for (char c : title) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
      id += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    else if (!id.empty() && id.back() != '-')
      id += '-';
  }
  while (!id.empty() && id.back() == '-') id.pop_back();
  return id;
}

class Converter {
 public:
  explicit Converter(std::string_view guide) : guide_(guide) {}

  void line(std::string_view text) {
    if (text.starts_with(".\\\"") || text.starts_with(".TH")) return;
    if (text.starts_with(".SH")) return section(argument(text, 3));
    if (text.starts_with(".SS")) {
      closeBlocks();
      const std::string title = argument(text, 3);
      body_ += "<h3 id=\"" + anchor(title) + "\">" + escaped(title) + "</h3>\n";
      return;
    }
    if (text.starts_with(".TP")) {
      closeParagraph();
      expectTerm_ = true;
      return;
    }
    if (text.starts_with(".PP")) return closeBlocks();
    if (text.starts_with(".EX")) {
      closeParagraph();
      body_ += "<pre>";
      inPre_ = true;
      return;
    }
    if (text.starts_with(".EE")) {
      body_ += "</pre>\n";
      inPre_ = false;
      return;
    }
    if (text.starts_with(".br")) {
      body_ += "<br>\n";
      return;
    }
    std::string html = text.starts_with(".B ") ? "<b>" + inlineHtml(argument(text, 2)) + "</b>" : inlineHtml(text);
    if (inPre_) {
      body_ += html + "\n";
    } else if (expectTerm_) {
      closeParagraph();
      if (inDefinition_) body_ += "</dd>\n";
      if (!inList_) body_ += "<dl>\n";
      body_ += "<dt>" + html + "</dt>\n<dd>";
      inList_ = inDefinition_ = true;
      expectTerm_ = false;
    } else {
      if (!inParagraph_ && !inDefinition_) {
        body_ += "<p>";
        inParagraph_ = true;
      }
      body_ += html + "\n";
    }
  }

  std::string page() {
    closeBlocks();
    std::string contents;
    for (const auto& [id, title] : sections_)
      contents += "<li><a href=\"#" + id + "\">" + escaped(title) + "</a></li>\n";
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>" + escaped(titleLine()) +
           " User Manual</title>\n<style>\n"
           "body { font-family: sans-serif; max-width: 50em; margin: 2em auto; padding: 0 1em; line-height: 1.45; }\n"
           "dt { font-weight: normal; margin-top: 0.6em; } dd { margin-left: 2em; }\n"
           "pre { background: #f4f4f4; padding: 0.5em; overflow-x: auto; }\n"
           "table { border-collapse: collapse; } td, th { border: 1px solid #ccc; padding: 0.2em 0.5em; }\n"
           "</style>\n</head>\n<body>\n<h1>" +
           escaped(titleLine()) + " User Manual</h1>\n<nav>\n<ul>\n" + contents + "</ul>\n</nav>\n" + body_ +
           "</body>\n</html>\n";
  }

 private:
  void section(const std::string& title) {
    closeBlocks();
    // The guide to the window follows the description of the program.
    if (afterDescription_ && !guideDone_) {
      sections_.emplace_back("window", "USING THE WINDOW");
      body_ += std::string(guide_);
      if (!body_.empty() && body_.back() != '\n') body_ += '\n';
      guideDone_ = true;
    }
    afterDescription_ = title == "DESCRIPTION";
    const std::string id = anchor(title);
    sections_.emplace_back(id, title);
    body_ += "<h2 id=\"" + id + "\">" + escaped(title) + "</h2>\n";
  }

  void closeParagraph() {
    if (inParagraph_) body_ += "</p>\n";
    inParagraph_ = false;
  }

  void closeBlocks() {
    closeParagraph();
    if (inDefinition_) body_ += "</dd>\n";
    if (inList_) body_ += "</dl>\n";
    inDefinition_ = inList_ = expectTerm_ = false;
  }

  std::string_view guide_;
  std::string body_;
  std::vector<std::pair<std::string, std::string>> sections_;
  bool inParagraph_ = false;
  bool inList_ = false;
  bool inDefinition_ = false;
  bool expectTerm_ = false;
  bool inPre_ = false;
  bool afterDescription_ = false;
  bool guideDone_ = false;
};

}  // namespace

std::string manualHtml(std::string_view roffPage, std::string_view guide) {
  Converter converter(guide);
  std::size_t start = 0;
  while (start < roffPage.size()) {
    std::size_t end = roffPage.find('\n', start);
    if (end == std::string_view::npos) end = roffPage.size();
    converter.line(roffPage.substr(start, end - start));
    start = end + 1;
  }
  return converter.page();
}

}  // namespace qm
