#include "sim/program/simprogram.h"
#include "process/sizehintwarnings.h"
#include "sim/view/viewfrontend.h"

int main(int argc, char *argv[])
{
    kestrava::process::dropSizeHintWarnings();
    return kestrava::sim::runSimulator(argc, argv, &kestrava::simview::robotViewFrontEnd());
}
