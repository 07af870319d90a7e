#pragma once

// Writes that must survive a power cut: each returns only once the bytes are
// on the disk (fsync), so that a record written before a step is still there
// after a crash in the middle of that step.

#include <string>
#include <string_view>

namespace tavor1 {

// Appends the bytes to the file (created when absent) and syncs it.
bool appendFileDurably(const std::string& path, std::string_view bytes);

// Writes the bytes to a sibling temporary file, syncs it, renames it over the
// target and syncs the folder: a reader finds either the old content or the
// whole new one, never a cut or empty file.
bool replaceFileDurably(const std::string& path, std::string_view bytes);

} // namespace tavor1
