// Output file that replaces its target only once it is complete.
//
// The bytes go to a temporary file beside the target (same folder, so the
// final rename stays on one file system). commit() flushes, closes and
// renames it over the target; anything short of a successful commit()
// removes the temporary file and leaves an existing target untouched.
//
// A target that exists and is not a regular file (a terminal, a pipe,
// /dev/null, /dev/full) cannot be replaced atomically and is written in
// place instead. A symbolic link is followed, so the file it points to is
// replaced, not the link.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fileout {

class AtomicOutputFile {
  public:
    explicit AtomicOutputFile(std::string target);
    ~AtomicOutputFile();

    AtomicOutputFile(const AtomicOutputFile&) = delete;
    AtomicOutputFile& operator=(const AtomicOutputFile&) = delete;

    // Creates the temporary file. False (with error()) if the target is a
    // directory or the temporary file cannot be created.
    bool open();

    // Appends size bytes. False (with error()) on any write failure.
    bool write(const void* data, std::size_t size);

    // Overwrites size bytes at offset without moving the append position.
    bool write_at(std::uint64_t offset, const void* data, std::size_t size);

    // Flushes, closes and renames the temporary file over the target.
    bool commit();

    // Closes and removes the temporary file; the target is not touched.
    void discard();

    const std::string& target() const { return target_; }
    // Name of the temporary file while one exists (empty when writing in place).
    const std::string& temporary_name() const { return temporary_; }
    // Description of the last failure, naming the target.
    const std::string& error() const { return error_; }
    // errno value of the last failure (0 when none).
    int error_number() const { return error_number_; }

  private:
    bool fail(const std::string& what, int error_number);

    std::string target_;
    std::string destination_;  // target with symbolic links resolved
    std::string temporary_;
    std::string error_;
    int error_number_ = 0;
    int fd_ = -1;
    bool in_place_ = false;
};

// Writes `size` bytes as the whole of `name` through an AtomicOutputFile.
// False with `error` (naming the file) when any step fails.
bool write_whole_file(const std::string& name, const void* data, std::size_t size,
                      std::string& error);

}  // namespace fileout
