#include "driver/ReportWriter.h"

#include <cstdio>
#include <sys/stat.h>

#include "driver/ReplacingFile.h"

#include "genetic/EllipseChromosome.h"

namespace Trelm
{

namespace
{

constexpr const char* HEADER =
    "image,index,center_x,center_y,major_axis,minor_axis,angle,completeness,distance\n";

// Enough digits for a double to read back exactly.
std::string exact(double value)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.17g", value);
    return buffer;
}

} // namespace

// A regular file is written beside the target and renamed into place, so that a target that
// is a link is replaced rather than written through; the rows are then appended to it. A
// device or a FIFO cannot be replaced without harm (renaming over /dev/stdout or a pipe's
// name would destroy it for everyone), so it is written in place.
bool ReportWriter::open(const std::string& path)
{
    path_ = path;
    if (path == "-") {
        target_ = &held_;
    } else if (isSpecialFile(path)) {
        output_.open(path, std::ios::out);
        if (!output_)
            return false;
        target_ = &output_;
    } else {
        return openReplacing(path);
    }
    *target_ << HEADER;
    target_->flush();
    return true;
}

void ReportWriter::printHeld(std::ostream& console)
{
    if (target_ == &held_)
        console << '\n' << held_.str();
}

bool ReportWriter::openReplacing(const std::string& path)
{
    const std::string temporary = createFileBeside(path);
    if (temporary.empty())
        return false;
    output_.open(temporary, std::ios::out | std::ios::trunc);
    output_ << HEADER;
    output_.flush();
    if (!output_ || std::rename(temporary.c_str(), path.c_str()) != 0) {
        output_.close();
        std::remove(temporary.c_str());
        return false;
    }
    target_ = &output_;
    return true;
}

bool ReportWriter::isSpecialFile(const std::string& path)
{
    struct stat status {
    };
    if (::stat(path.c_str(), &status) != 0)
        return false;
    return S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode) || S_ISFIFO(status.st_mode) ||
           S_ISSOCK(status.st_mode);
}

bool ReportWriter::noticeFailure(std::ostream& console)
{
    if (target_ == nullptr || *target_ || failed_)
        return false;
    failed_ = true;
    console << "Cannot write the report file " << path_
            << "; the report is incomplete from this image on." << std::endl;
    return true;
}

void ReportWriter::writeImage(const std::string& imageName,
                              const std::vector<Chromosome*>& solutions)
{
    const std::string name = quoteField(imageName);
    for (std::size_t index = 0; index < solutions.size(); ++index) {
        const auto* solution = static_cast<const EllipseChromosome*>(solutions[index]);
        *target_ << name << ',' << index << ',';
        if (solution->refined) {
            const EllipseParameters& r = *solution->refined;
            *target_ << exact(r.centerX) << ',' << exact(r.centerY) << ',' << exact(r.majorAxis)
                     << ',' << exact(r.minorAxis) << ',' << exact(r.angle);
        } else {
            const Ellipse& e = solution->figure;
            *target_ << e.centerX << ',' << e.centerY << ',' << e.majorAxis << ',' << e.minorAxis
                     << ',' << exact(e.angle);
        }
        *target_ << ',' << exact(solution->completeness) << ',' << exact(solution->distance)
                 << '\n';
    }
    target_->flush();
}

std::string ReportWriter::quoteField(const std::string& field)
{
    if (field.find_first_of(",\"\r\n") == std::string::npos)
        return field;
    std::string quoted = "\"";
    for (char c : field) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

} // namespace Trelm
