#pragma once

// What a privileged run may trust. When the effective user is root, or the program runs set-id,
// a path or command that another user could change would let that user steer what root writes,
// runs or trusts. Such a run therefore takes a place from the environment or a settings file
// only when nobody but root can change it; an ordinary run trusts its own user's environment as
// before.

#include <filesystem>
#include <optional>
#include <string>

namespace digital_id {

// The search path of a privileged run and the whole environment of the commands it starts.
inline constexpr const char* kPrivilegedPath = "/usr/sbin:/usr/bin:/sbin:/bin";

// True when the effective user is root or the process was started set-id (AT_SECURE).
bool RunningPrivileged();

// Removes from the environment of a privileged run the variables through which its caller could
// make a library of the program load code or move what it trusts: OpenSSL's configuration file,
// modules and engines, the certificate paths, libcurl's proxies, Qt's plugin folders and
// plugin names, and the GTK and GIO module paths that a theme plugin would follow. Called
// first thing in main, before a library reads them or a thread starts; does nothing in an
// ordinary run.
void DropUntrustedEnvironment();

// Why a privileged run may not trust base/below; nullopt when it may. base must be absolute and
// below relative without "..". Walked as the kernel resolves it, every component that exists
// must belong to root and be writable by no one else, except a sticky folder (such as /tmp)
// whose entry on the way belongs to root; the folder in which the first missing component would
// be made must be writable by root alone. Symbolic links owned by root are followed within base;
// within below, no link is followed at all.
std::optional<std::string> UntrustedPathReason(const std::filesystem::path& base,
                                               const std::filesystem::path& below = {});

// Why a privileged run may not start program; nullopt when it may: an absolute path of a
// regular, executable file that passes UntrustedPathReason.
std::optional<std::string> UntrustedProgramReason(const std::string& program);

// Why a privileged run may not read settings from file; nullopt when it may: the file and every
// folder above it can be changed by root alone. A missing file is trusted (it reads as empty).
std::optional<std::string> UntrustedSettingsFileReason(const std::filesystem::path& file);

// The folder for temporary files: TMPDIR (else /tmp) in an ordinary run, /tmp in a privileged
// one, which ignores TMPDIR.
std::filesystem::path TemporaryFolder();

// Finds program in the search path (PATH, or kPrivilegedPath in a privileged run); a name with
// a '/' is taken as it is. Empty when no executable regular file is found.
std::string FindProgram(const std::string& program);

// Prints "<program>: text" on standard error, once per distinct text in this process, for a
// refusal the user should learn of even when no report follows (for instance a settings file
// that is read at every step).
void NoticeOnce(const std::string& text);

}  // namespace digital_id
