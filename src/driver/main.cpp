#include <csignal>
#include <fcntl.h>
#include <unistd.h>

#include "driver/BatchRun.h"

namespace
{

// A closed standard descriptor would be taken by the first file opened (a report would
// receive the console text): give each one /dev/null first.
void openStandardDescriptors()
{
    for (int fd = 0; fd <= 2; ++fd)
        if (fcntl(fd, F_GETFD) == -1)
            if (open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY) == -1)
                _exit(2);
}

} // namespace

int main(int argc, char* argv[])
{
    openStandardDescriptors();
    // Output that goes away (a pipe closed early) must not kill the batch: the writes fail,
    // every image is still processed, and the exit status tells.
    std::signal(SIGPIPE, SIG_IGN);
    // Likewise a file-size limit: the write fails and is reported instead of ending the process.
    std::signal(SIGXFSZ, SIG_IGN);
    Trelm::BatchRun batch;
    return batch.run(argc, argv);
}
