#include "driver/ReportWriter.h"

#include <cstdio>

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

bool ReportWriter::open(const std::string& path)
{
    output_.open(path, std::ios::out | std::ios::trunc);
    if (!output_)
        return false;
    output_ << "image,index,center_x,center_y,major_axis,minor_axis,angle,completeness,distance\n";
    output_.flush();
    return static_cast<bool>(output_);
}

void ReportWriter::writeImage(const std::string& imageName,
                              const std::vector<Chromosome*>& solutions)
{
    const std::string name = quoteField(imageName);
    for (std::size_t index = 0; index < solutions.size(); ++index) {
        const auto* solution = static_cast<const EllipseChromosome*>(solutions[index]);
        const Ellipse& e = solution->figure;
        output_ << name << ',' << index << ',' << e.centerX << ',' << e.centerY << ','
                << e.majorAxis << ',' << e.minorAxis << ',' << exact(e.angle) << ','
                << exact(solution->completeness) << ',' << exact(solution->distance) << '\n';
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
