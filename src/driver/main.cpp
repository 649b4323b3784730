#include "driver/BatchRun.h"

int main(int argc, char* argv[])
{
    Trelm::BatchRun batch;
    return batch.run(argc, argv);
}
