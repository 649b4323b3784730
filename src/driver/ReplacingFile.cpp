#include "driver/ReplacingFile.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace Trelm
{

// Several images may write beside each other at once: each temporary name is new.
std::string createFileBeside(const std::string& target)
{
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = target + ".part-" + std::to_string(getpid()) + "-" +
                                 std::to_string(counter.fetch_add(1));
        // Created exclusively, with the permissions a new file gets (the umask applies).
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return name;
        }
        if (errno != EEXIST)
            break;
    }
    return "";
}

ReplacingFile::ReplacingFile(std::string target) : target_(std::move(target))
{
    temporary_ = createFileBeside(target_);
    if (!temporary_.empty())
        stream_.open(temporary_, std::ios::binary | std::ios::trunc);
}

ReplacingFile::~ReplacingFile()
{
    if (!committed_ && !temporary_.empty()) {
        stream_.close();
        std::remove(temporary_.c_str());
    }
}

bool ReplacingFile::commit()
{
    if (!stream_.is_open())
        return false;
    stream_.flush();
    if (!stream_)
        return false;
    if (std::rename(temporary_.c_str(), target_.c_str()) != 0)
        return false;
    committed_ = true;
    return true;
}

} // namespace Trelm
