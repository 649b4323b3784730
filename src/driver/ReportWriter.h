#pragma once

#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include "genetic/Chromosome.h"

namespace Trelm
{

/// The CSV report of every solution of a batch: one header line, one row per solution.
class ReportWriter
{
  public:
    /// Creates the file and writes the header; false (and no report) when it cannot.
    bool open(const std::string& path);
    bool isOpen() const { return output_.is_open(); }
    /// Writes and flushes the rows of one image's solutions, in promotion order; a refined
    /// solution gives its real parameters, in full precision.
    void writeImage(const std::string& imageName, const std::vector<Chromosome*>& solutions);
    /// True, and said on the console, the first time a write of the report is found failed.
    bool noticeFailure(std::ostream& console);

    /// A CSV field: quoted, with quotes doubled, when it holds a comma, a quote or a line end.
    static std::string quoteField(const std::string& field);

  private:
    std::string path_;
    std::ofstream output_;
    bool failed_ = false;
};

} // namespace Trelm
