#pragma once

#include <cstddef>
#include <string>

// The settings file on disk, for the window and the command line alike: read within a bound,
// written so that a failure leaves the old file as it was.
namespace settings {

// What a file is read as, and the most bytes it may take: far more than any such file needs, far
// less than what an endless device or a wrong file would cost to read whole.
struct FileKind {
    const char* name;
    std::size_t mostBytes; // whole MiB, as the refusal names them
};

// A settings file is under 2 KB.
inline constexpr FileKind kSettingsFileKind{"settings file", std::size_t{1} << 20};
// A plan of kMostPlanRows cameras with descriptions of a line's width.
inline constexpr FileKind kPlanFileKind{"plan file", std::size_t{8} << 20};

// The whole file at `path` into `text`, reading no more than one byte past the kind's bound. A
// file larger than the bound, a directory, or one that cannot be opened or read is refused, and
// `error` says why, to follow "PATH: ": the system's words ("Is a directory") or "larger than
// 1 MiB, which no settings file is". `text` gets its room once, so that no copy of a password in
// the file is left in freed memory; the caller wipes it (protocol::wipe) once read.
bool readFileBounded(const std::string& path, std::string& text, std::string& error,
                     const FileKind& kind = kSettingsFileKind);

// The same from an open file descriptor (standard input, say), read to its end; it stays open.
bool readBounded(int fd, std::string& text, std::string& error,
                 const FileKind& kind = kSettingsFileKind);

// Writes `text` to `path`: into a new file beside it, synced and closed, then renamed over it, so
// that the file at `path` is either the old one or all of the new one. Any failure (writing,
// syncing, closing, renaming) leaves the old file as it was, removes the new one and says why in
// `error`, in the system's words. A new file gets the permissions the umask gives, a replaced one
// keeps its own; through a symbolic link the file it points to is replaced.
bool replaceFile(const std::string& path, const std::string& text, std::string& error);

} // namespace settings
