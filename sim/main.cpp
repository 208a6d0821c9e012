#include "simprogram.h"
#include "viewfrontend.h"

int main(int argc, char *argv[])
{
    return kestrava::sim::runSimulator(argc, argv, &kestrava::simview::robotViewFrontEnd());
}
