// poppler's command-line readers (pdfinfo, pdftotext, pdftoppm) for the tests
// of printed documents; the tests skip when they are not installed.
#pragma once

#include <cstdlib>
#include <sstream>
#include <string>

#include "cli_process.h"

namespace qd::testing {

inline bool HaveTool(const std::string& name) {
  return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

//! The text of one page (1-based) of a PDF file, laid out as on the page.
inline std::string PageText(const std::string& pdf, int page, const TTempFolder& io) {
  const std::string out = io.Path("page.txt"), p = std::to_string(page);
  const std::string cmd = "pdftotext -layout -f " + p + " -l " + p + " '" + pdf + "' '" + out + "'";
  if (std::system(cmd.c_str()) != 0) return {};
  return ReadFileText(out);
}

//! What pdfinfo says about a PDF file; empty when it cannot read it.
inline std::string PdfInfo(const std::string& pdf, const TTempFolder& io) {
  const std::string out = io.Path("info.txt");
  if (std::system(("pdfinfo '" + pdf + "' > '" + out + "'").c_str()) != 0) return {};
  return ReadFileText(out);
}

inline int PageCount(const std::string& pdf, const TTempFolder& io) {
  std::istringstream in(PdfInfo(pdf, io));
  for (std::string line; std::getline(in, line);)
    if (line.rfind("Pages:", 0) == 0) return std::atoi(line.c_str() + 6);
  return -1;
}

}  // namespace qd::testing
