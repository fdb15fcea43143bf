// A Files for tests: the short forms and listings it knows, and every listing and deletion it
// was asked for.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "common/files.h"

namespace cv3 {

class FakeFiles : public Files {
 public:
  // An existing file or folder: its short form, which a listing finds.
  void Add(const std::string& path, const std::string& shortForm) {
    shortForms[path] = shortForm;
    listable.insert(shortForm);
  }

  std::map<std::string, std::string> shortForms;  // path -> short form; others do not exist
  std::set<std::string> listable;                 // names a listing finds
  std::vector<std::string> listings;              // every listing asked for, in order
  std::vector<std::string> removed;               // every file deleted, in order

  std::string ShortPath(std::string_view path) override {
    auto it = shortForms.find(std::string(path));
    return it == shortForms.end() ? std::string() : it->second;
  }

  bool ListingFindsName(std::string_view path) override {
    listings.emplace_back(path);
    return listable.count(std::string(path)) > 0;
  }

  bool RemoveFile(std::string_view path) override {
    auto it = shortForms.find(std::string(path));
    if (it == shortForms.end()) return false;
    removed.emplace_back(path);
    listable.erase(it->second);
    shortForms.erase(it);
    return true;
  }
};

}  // namespace cv3
