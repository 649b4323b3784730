#pragma once

#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "genetic/Chromosome.h"

namespace Trelm
{

/// The CSV report of every solution of a batch: one header line, one row per solution.
class ReportWriter
{
  public:
    /// Creates the file and writes the header; false (and no report) when it cannot. "-" is
    /// standard output: see printHeld. A device, FIFO or socket (also behind links) is written
    /// in place.
    bool open(const std::string& path);
    /// A report on standard output is held until the batch ends, so that its rows do not mix
    /// with the images' text: prints it to console, as one block starting on a line of its own.
    void printHeld(std::ostream& console);
    bool isOpen() const { return target_ != nullptr; }
    /// Writes and flushes the rows of one image's solutions, in promotion order; a refined
    /// solution gives its real parameters, in full precision.
    void writeImage(const std::string& imageName, const std::vector<Chromosome*>& solutions);
    /// True, and said on the console, the first time a write of the report is found failed.
    bool noticeFailure(std::ostream& console);

    /// Whether path names an existing file that is not a regular file or a folder (a device,
    /// a FIFO, a socket), following symbolic links: such a target is written, never replaced.
    static bool isSpecialFile(const std::string& path);
    /// A CSV field: quoted, with quotes doubled, when it holds a comma, a quote or a line end.
    static std::string quoteField(const std::string& field);

  private:
    /// Writes the header beside path and renames it into place.
    bool openReplacing(const std::string& path);

    std::string path_;
    std::ofstream output_;
    /// The report on standard output, until the batch ends.
    std::ostringstream held_;
    /// Where the rows go: output_ or held_; null until opened.
    std::ostream* target_ = nullptr;
    bool failed_ = false;
};

} // namespace Trelm
