// Prints the ellipses of each image named on the command line, one line each.
#include <iostream>

#include <korvath/korvath.h>

int main(int argc, char* argv[])
{
    korvath::Settings settings;
    settings.refine = true;
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        try {
            const korvath::Result result = korvath::detect(argv[i], settings);
            std::cout << argv[i] << ": " << result.ellipses.size() << " ellipses, "
                      << result.evaluations << " evaluations\n";
            for (const korvath::DetectedEllipse& e : result.ellipses)
                std::cout << "  centre (" << e.centerX << ", " << e.centerY << ") axes "
                          << e.majorAxis << " x " << e.minorAxis << " angle " << e.angle << '\n';
        } catch (const korvath::Error& error) {
            std::cout << argv[i] << ": " << error.what() << '\n';
            status = 1;
        }
    }
    return status;
}
