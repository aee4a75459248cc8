// The page's own files, built into the program from src/web/page/ (no CDN: a BBS machine may have
// no internet). Nothing else is served as a file.
#include <string>

#include "web/api.h"

namespace {

struct PageEntry {
  const char* path;
  const char* type;
  std::string body;
};

const PageEntry kPageEntries[] = {
#include "web_page_files.inc"
};

}  // namespace

const std::string* PageFile(const std::string& path, std::string& type) {
  for (const PageEntry& entry : kPageEntries)
    if (path == entry.path) {
      type = entry.type;
      return &entry.body;
    }
  return nullptr;
}
