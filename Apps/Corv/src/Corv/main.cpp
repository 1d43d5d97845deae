#include "CorvMain.h"

int main(int argc, char* argv[])
{
    return corvMain(argc, argv);
}
