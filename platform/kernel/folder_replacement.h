// Replacing a host folder as a whole: the new content is written into a
// sibling folder, which takes the old folder's place in one rename, and
// only once all of it is written and flushed. Until then the old folder is
// not touched; a replacement that is given up removes what it made, and
// nothing else. Library code never includes this header.
#pragma once

#include <string>
#include <vector>

namespace platform {

class FolderReplacement {
 public:
  FolderReplacement() = default;
  FolderReplacement(const FolderReplacement &) = delete;
  FolderReplacement &operator=(const FolderReplacement &) = delete;
  // Without a commit: removes the new folder and the folders Begin made.
  ~FolderReplacement();

  // Makes the new folder beside `target`, and the missing folders on the
  // way to it. False when `target` is there but is no folder.
  bool Begin(const std::string &target);
  // The folder to replace, resolved (no symbolic links, no trailing "/").
  const std::string &Target() const { return target_; }
  // The new folder, to be filled before the commit.
  const std::string &Next() const { return next_; }
  bool ReplacesAFolder() const { return replacesFolder_; }
  // Flushes the new folder's tree, swaps it in and removes the old folder.
  bool Commit();

 private:
  bool Swap();

  std::string target_;
  std::string next_;
  std::string old_;                       // where the old folder went once swapped out
  std::vector<std::string> madeFolders_;  // outermost first
  bool replacesFolder_ = false;
  bool committed_ = false;
};

}  // namespace platform
