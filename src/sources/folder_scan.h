// Scanning a Paradox folder and its subfolders for table files, without Qt: the pieces the
// Paradox source puts together (paradox_source.h).
//
// Paths are UTF-8 with '/' as the separator; a folder in a folder collection ends in '/'.
// Linux has no hidden or system attributes, so the attribute skip rule of the scan has nothing
// to act on. A directory symlink is never followed (a loop cannot hang the scan); a folder the
// scan may not read is dropped with its files.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qv::sources {

// Called once per folder looked at and once per subfolder entry; the caller throttles.
using YieldFunction = std::function<void()>;

// The bare names of the entries directly in `folder` that match `pattern` ('*' and '?'
// wildcards, letter case ignored for ASCII letters) and that CanOpenFile accepts, in the order
// the file system lists them. Directories never match. A folder that does not exist gives an
// empty list; one that exists but cannot be listed throws qv::Error 75 naming it.
std::vector<std::string> ListFiles(std::string folder, std::string_view pattern);

// True when `path` names a file (not a folder) that can be opened; opening asks for no access
// rights, so a file without read permission still counts.
bool CanOpenFile(const std::string& path);

// Adds the subfolders of the folders of `folders` (each ending in '/'), breadth-first: when
// `recursive` is set, the subfolders of those, and so on; each generation in enumeration order.
// Skipped: names for which HasUnusualCharacters holds, names holding '?', "." and "..", and
// symlinks. A folder whose listing is refused (permission denied) is removed from the
// collection, so its own files are not listed either; other listing failures only end that
// folder's enumeration. A folder of the given collection that does not exist throws qv::Error
// 76 naming it (the collection is left as it was).
void AddSubFolders(std::vector<std::string>& folders, bool recursive, const YieldFunction& yield = {});

// True when the name holds a character the scan avoids: a code below 32, from 127 to 159, or
// '?' (63). Names are UTF-8; a byte sequence that is not UTF-8 counts as unusual too, since it
// names no character at all.
bool HasUnusualCharacters(std::string_view name);

// The part of `path` after its last '/', or the whole path when it has none.
std::string FileNameFromPath(std::string_view path);

// Wildcard match of the file system: '*' any run, '?' one character, ASCII letters match
// without regard to case.
bool WildcardMatch(std::string_view pattern, std::string_view name);

}  // namespace qv::sources
