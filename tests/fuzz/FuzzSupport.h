#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <ostream>
#include <streambuf>
#include <string>

namespace Trelm::fuzz
{

/// A stream buffer that drops whatever is written to it.
class NullBuffer : public std::streambuf
{
  protected:
    int overflow(int c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize count) override { return count; }
};

/// A stream that drops whatever is written to it: the messages would only slow the fuzzing.
inline std::ostream& nullStream()
{
    static NullBuffer buffer;
    static std::ostream stream(&buffer);
    return stream;
}

/// Sends standard output nowhere for the rest of the process; the fuzzer reports on stderr.
inline void silenceStandardOutput()
{
    std::cout.rdbuf(nullStream().rdbuf());
}

/// The input as a string of bytes.
inline std::string bytesOf(const std::uint8_t* data, std::size_t size)
{
    return std::string(reinterpret_cast<const char*>(data), size);
}

/// A folder of this process under the temporary folder, created on first use, removed at exit.
/// Paths given to the fuzzer stay relative to where it was started: the targets that need a
/// working folder of their own enter it for one input and leave it again (WorkingFolder).
const std::filesystem::path& scratchFolder();

/// Makes the scratch folder the working folder for its lifetime.
class WorkingFolder
{
  public:
    WorkingFolder() : saved_(std::filesystem::current_path())
    {
        std::filesystem::current_path(scratchFolder());
    }
    ~WorkingFolder() { std::filesystem::current_path(saved_); }
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;

  private:
    std::filesystem::path saved_;
};

} // namespace Trelm::fuzz
