// The smallest host of an installed axgenetic: proves the package is found and links.
#include <iostream>

#include "axgenetic/axgenetic.hpp"

int main() {
    ax::RandSeed(1);
    std::cout << "axgenetic found; first draw " << ax::Random(100) << "\n";
    return 0;
}
