#include "cli/cli.h"

int main(int argc, char *argv[])
{
    return kestrava::cli::runCli(argc, argv);
}
