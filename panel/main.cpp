#include "panel/application.h"

int main(int argc, char *argv[])
{
    return kestrava::runKestrava(argc, argv);
}
