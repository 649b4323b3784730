#include "driver/ReportWriter.h"

#include <cstdio>

#include "core/ReplacingFile.h"

#include "genetic/EllipseChromosome.h"

namespace Trelm
{

namespace
{

// Enough digits for a double to read back exactly.
std::string exact(double value)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.17g", value);
    return buffer;
}

} // namespace

// The header is written beside the target and renamed into place, so that a target that is a
// link is replaced rather than written through; the rows are then appended to it.
bool ReportWriter::open(const std::string& path)
{
    path_ = path;
    const std::string temporary = createFileBeside(path);
    if (temporary.empty())
        return false;
    output_.open(temporary, std::ios::out | std::ios::trunc);
    output_ << "image,index,center_x,center_y,major_axis,minor_axis,angle,completeness,distance\n";
    output_.flush();
    if (!output_ || std::rename(temporary.c_str(), path.c_str()) != 0) {
        output_.close();
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

bool ReportWriter::noticeFailure(std::ostream& console)
{
    if (output_ || failed_)
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
        output_ << name << ',' << index << ',';
        if (solution->refined) {
            const EllipseParameters& r = *solution->refined;
            output_ << exact(r.centerX) << ',' << exact(r.centerY) << ',' << exact(r.majorAxis)
                    << ',' << exact(r.minorAxis) << ',' << exact(r.angle);
        } else {
            const Ellipse& e = solution->figure;
            output_ << e.centerX << ',' << e.centerY << ',' << e.majorAxis << ',' << e.minorAxis
                    << ',' << exact(e.angle);
        }
        output_ << ',' << exact(solution->completeness) << ',' << exact(solution->distance) << '\n';
    }
    output_.flush();
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
