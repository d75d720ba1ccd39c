#include <iostream>

#include "Ombra/Glean/Glean.h"

int main(int argc, char* argv[]) {
    return glean::RunGlean(argc, argv, std::cout, std::cerr);
}
