#pragma once

#include <fstream>
#include <string>

namespace Trelm
{

/// Creates an empty file of a new name beside target (in the same folder, so that a rename
/// moves it into place); "" when none can be created.
std::string createFileBeside(const std::string& target);

/// A file written beside its target under a temporary name and renamed into place when done,
/// so that no half-written file is ever left under the target's name, and a target that is a
/// symbolic link is replaced rather than written through. Dropped without commit(), the
/// temporary file is removed.
class ReplacingFile
{
  public:
    explicit ReplacingFile(std::string target);
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    /// False when the temporary file could not be created.
    bool isOpen() const { return stream_.is_open(); }
    std::ofstream& stream() { return stream_; }
    /// Flushes and renames the file into place; false when a write or the rename failed. The
    /// stream stays usable for appending when it succeeded.
    bool commit();

  private:
    std::string target_;
    std::string temporary_;
    std::ofstream stream_;
    bool committed_ = false;
};

} // namespace Trelm
