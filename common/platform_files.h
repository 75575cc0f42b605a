// The few file and console calls that differ between Linux and Windows.
//
// Every name is UTF-8 on both systems: on Windows it is turned into UTF-16
// and handed to the wide-character calls, so names outside the ANSI code
// page work. Descriptors are C runtime descriptors on both systems; errors
// come back as errno values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace platform {

// The program's arguments as UTF-8 (on Windows taken from the wide command
// line, since argv there is in the ANSI code page).
std::vector<std::string> utf8_arguments(int argc, char** argv);

// Standard output and standard error write their bytes unchanged, so each
// line ends with "\n" on Windows as on Linux.
void use_binary_standard_streams();

// fopen of a UTF-8 name.
std::FILE* open_stdio_file(const std::string& name, const char* mode);

enum class FileKind { missing, regular, directory, other };
// What the name refers to (symbolic links followed); `mode` receives the
// permission bits of an existing file. missing also stands for "cannot tell"
// with errno set.
FileKind kind_of(const std::string& name, unsigned* mode = nullptr);

// Descriptor opened for reading; -1 with errno on failure.
int open_for_reading(const std::string& name);
// Existing file opened for writing without truncation; -1 with errno.
int open_for_writing(const std::string& name);
// New file that must not exist yet; -1 with errno (EEXIST when it does).
int create_new_file(const std::string& name);

bool is_directory(int fd);
// Offset of the file's end, -1 with errno on failure.
long long end_offset(int fd);
// One read or write call; the count done, or -1 with errno. The _at forms
// leave the descriptor's own position where it was.
long long read_some(int fd, void* data, std::size_t size);
long long read_some_at(int fd, void* data, std::size_t size, std::uint64_t offset);
long long write_some(int fd, const void* data, std::size_t size);
long long write_some_at(int fd, const void* data, std::size_t size, std::uint64_t offset);
// Forces the file's bytes to the disk; 0 or -1 with errno.
int sync_file(int fd);
int close_file(int fd);
// Sets the permission bits where the system has them (nothing on Windows).
void set_mode(int fd, unsigned mode);

// Puts `from` in place of `to` in one step (the old `to` replaced); 0 or an
// errno value.
int replace_file(const std::string& from, const std::string& to);
void remove_file(const std::string& name);

// Resolves symbolic links in `name` (a no-op on Windows, where the file the
// name reaches is replaced as it is). False with errno when it cannot.
bool is_symbolic_link(const std::string& name);
bool resolve_links(const std::string& name, std::string& resolved);

long process_id();

// Reads a whole file (a directory counts as a file that cannot be read); at
// most `limit` bytes, so that an endless input (a device, a pipe) is
// refused. False with `error` naming the file: "cannot read 'NAME': REASON"
// or "'NAME' is larger than LIMIT bytes".
bool read_whole_file(const std::string& name, std::vector<std::uint8_t>& bytes, std::string& error,
                     std::size_t limit = std::size_t(-1));

#ifdef _WIN32
// UTF-8 to UTF-16 and back, for the wide-character calls.
std::wstring wide(const std::string& text);
std::string narrow(const wchar_t* text);
// The system's message for GetLastError(), without its closing full stop
// and line end ("error N" when there is none).
std::string last_error_text();
#endif
bool standard_error_is_terminal();

}  // namespace platform
