// The two file questions that game command lines are built from: a path's short (8.3) form,
// which has no spaces where the volume makes short names, and whether a file exists; and deleting a
// save file that a new game replaces. Backends: Win32 and a fake. UI thread only.
#pragma once

#include <string>
#include <string_view>

namespace cv3 {

class Files {
 public:
  virtual ~Files() = default;

  // The short form of an existing path (UTF-8), as the system makes it: on a volume without short
  // names, the path itself, spaces and all. The empty text when the path does not exist, or when
  // its short form does not fit in 254 characters.
  virtual std::string ShortPath(std::string_view path) = 0;

  // Whether a directory listing of this name (a first-match search, as a file dialog lists it)
  // finds an entry: a file or folder, hidden ones included.
  virtual bool ListingFindsName(std::string_view path) = 0;

  // Deletes a file; false when it could not be deleted (it does not exist, or is in use).
  virtual bool RemoveFile(std::string_view path) = 0;
};

// Whether a file (or folder) exists: its short form is not empty and a listing of the short form
// finds a name. A path whose folder exists but whose file does not is false.
bool FileExists(Files& files, std::string_view path);

}  // namespace cv3
