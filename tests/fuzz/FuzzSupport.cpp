#include "FuzzSupport.h"

#include <cstdlib>
#include <stdexcept>
#include <system_error>
#include <unistd.h>

namespace Trelm::fuzz
{

namespace
{

std::filesystem::path makeScratchFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "korvath-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot create a temporary folder");
    return pattern;
}

} // namespace

const std::filesystem::path& scratchFolder()
{
    // Never destroyed, so that the removal at exit can still name it.
    static const std::filesystem::path* const folder = [] {
        const auto* made = new std::filesystem::path(makeScratchFolder());
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(scratchFolder(), ignored);
        });
        return made;
    }();
    return *folder;
}

} // namespace Trelm::fuzz
