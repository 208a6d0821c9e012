#include "simprogram.h"
#include "sizehintwarnings.h"
#include "viewfrontend.h"

int main(int argc, char *argv[])
{
    kestrava::sim::dropSizeHintWarnings();
    return kestrava::sim::runSimulator(argc, argv, &kestrava::simview::robotViewFrontEnd());
}
