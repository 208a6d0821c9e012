#include "simprogram.h"

int main(int argc, char *argv[])
{
    return kestrava::sim::runSimulator(argc, argv);
}
