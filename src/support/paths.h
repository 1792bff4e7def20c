// Windows paths as texts: joining a folder and a name, and the folder of a
// path. Pure text rules; nothing here asks the file system.
#pragma once

#include <string>
#include <string_view>

namespace hs::support {

// `folder` and `name` with exactly one backslash between them: a trailing
// backslash of `folder` is kept, leading backslashes of `name` are dropped.
// `name` alone when `folder` is empty; `folder` alone when `name` is empty
// or only backslashes.
//   join_path(u"C:\\", u"a") == u"C:\\a"; join_path(u"C:\\P", u"\\a") == u"C:\\P\\a"
std::u16string join_path(std::u16string_view folder, std::u16string_view name);

// The folder that holds `path`: the text before its last backslash. A drive
// root keeps its backslash ("C:\a.txt" gives "C:\", since "C:" alone names
// the current folder of drive C, not its root); a trailing backslash counts
// as the last one ("C:\P\" gives "C:\P"); "" when `path` has no backslash.
// A UNC path gives its share ("\\server\share\a" gives "\\server\share").
// Callers that want no trailing backslash at all use
// `without_trailing_backslash`.
std::u16string folder_of(std::u16string_view path);

// `path` without one trailing backslash ("C:\" gives "C:").
std::u16string without_trailing_backslash(std::u16string_view path);

}  // namespace hs::support
