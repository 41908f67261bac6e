// quarnctl on Linux: arguments and output are UTF-8 already.

#include <iostream>

#include "tools/quarnctl/quarnctl.h"

int main(int argc, char** argv) {
    return quarn::RunQuarnctl(std::vector<std::string>(argv + 1, argv + argc), std::cout,
                              std::cerr);
}
