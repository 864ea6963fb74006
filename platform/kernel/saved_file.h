// The host side of saved machines: files written whole and flushed to the
// disk, folder trees copied or linked into a new machine folder (every
// write a step that Fault::MachineSave can fail), and the words for a file
// found cut short. Library code never includes this header.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Creates the file `path`, which must not exist yet, holding `bytes`, and
// flushes it to the disk. On failure nothing is left at `path`.
bool WriteSavedFile(const std::string &path, std::string_view bytes);

// Flushes a file or folder that is already written to the disk.
bool FlushToDisk(const std::string &path);

// How a tree reaches its new place: copied, or as hard links to the very
// same files, which then live on under both names.
enum class TreeTransfer { Copy, Link };

// Makes the folder `to`, which must not exist yet, with the tree under the
// folder `from`: folders made anew with the same permissions, symbolic
// links copied as links, everything else copied or linked (and flushed). A
// failure can leave part of the tree in `to`.
bool TransferTree(const std::string &from, const std::string &to, TreeTransfer how);

// Where a file that is cut short stops, for its error text: "is empty", or
// "is cut short at line N", N being the line of its last byte.
std::string CutShortText(std::string_view content);

}  // namespace platform
